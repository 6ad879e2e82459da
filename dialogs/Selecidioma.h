#pragma once
#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The language dialog: one choice per language, each beside its flag.
class TForm10 : public QDialog {
    Q_OBJECT
public:
    // `language`: 0 Catalan .. 3 English; any other value keeps the built-in texts.
    TForm10(QWidget* owner, int language);

    // Selects choice `index` (0 Catalan .. 3 English); any other value clears the selection.
    void setItemIndex(int index);
    // The selected choice, -1 when none is.
    int itemIndex() const;

    QGroupBox* SelecIdioma;
    QRadioButton* Choices[4];
    QLabel* Image1;
    QLabel* Image2;
    QLabel* Image3;
    QLabel* Image4;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    void updateOkButton();

    QButtonGroup* choiceGroup;
};
