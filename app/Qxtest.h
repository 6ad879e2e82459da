#pragma once
#include <QMainWindow>

class QApplication;

// The main window: commands, summary panels, languages and the display exchanges.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Sets the application title, creates the main window and the start-up dialogs.
    static void startUp(QApplication& app);

    std::uint8_t LanguageIndex = 0;
};

// Program-wide reference to the main window, set before its constructor body runs.
extern TForm1* Form1;
