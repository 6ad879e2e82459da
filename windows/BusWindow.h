#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "bus/DisplayBus.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

// "Displays on the line": the displays a scan finds, one row each, read in
// turn, compared with a folder of configurations; commands on the selected
// rows. Non-modal; given what it needs and never reaches into the main window.
class TBusWindow : public QWidget {
    Q_OBJECT
public:
    // The window's configuration, read at every scan for the port and line.
    using TConfigSource = std::function<TDisplayConfig()>;
    // Empty when the view may use the port now, else why not, in `language`.
    using TMayRun = std::function<std::string(TLanguage language)>;
    // Makes `address` the window's and receives its configuration there.
    using TOpenInMain = std::function<void(std::uint8_t address)>;

    TBusWindow(QWidget* owner, TLanguage language, int replyTimeoutMs, TConfigSource source, TMayRun mayRun,
        TOpenInMain openInMain);
    ~TBusWindow() override;

    TDisplayBus& bus() { return bus_; }
    // Whether the view holds the port (another user must wait).
    bool holdsLine() const { return bus_.holdsLine(); }
    void setLanguage(TLanguage language);

    // What the buttons do, for the tests and the pictures.
    void scan();
    void setFolder(const QString& folder);
    bool exportCsv(const QString& path);
    void selectAddresses(const std::vector<std::uint8_t>& addresses);
    // Every row shown as the bus holds it now.
    void refreshNow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void applyTexts();
    void showRow(int index);
    void markDirty(std::uint8_t address);
    void showActivity();
    void showNotice(const TWords& words);
    std::vector<std::uint8_t> selectedAddresses() const;
    void chooseFolder();
    void chooseExport();
    void showDifferences();
    void openSelected();
    void sendFiles();
    void sendWindowConfiguration();
    void receive();

    TLanguage language_;
    TConfigSource source_;
    TOpenInMain openInMain_;
    TDisplayBus bus_;
    TWords notice_{};
    std::set<std::uint8_t> dirty_;
    int scanAsked_ = -1, scanTotal_ = 0, scanFound_ = 0;

    QLabel* portLabel_;
    QLabel* rangeLabel_;
    QLabel* toLabel_;
    QSpinBox* first_;
    QSpinBox* last_;
    QPushButton* scan_;
    QPushButton* cancel_;
    QProgressBar* progress_;
    QLabel* step_;
    QLabel* folderName_;
    QLabel* folder_;
    QPushButton* chooseFolder_;
    QTableWidget* table_;
    QPushButton* reading_;
    QPushButton* sendFiles_;
    QPushButton* sendWindow_;
    QPushButton* receive_;
    QPushButton* differences_;
    QPushButton* open_;
    QPushButton* export_;
    QPushButton* close_;
    QLabel* notice_label_;
    QTimer* refresh_;
};
