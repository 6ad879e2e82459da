#pragma once
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

#include "trend/CsvLog.h"
#include "trend/Reading.h"
#include "trend/Setpoints.h"
#include "trend/TrendStore.h"

class QAreaSeries;
class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QScrollBar;
class QValueAxis;
class TRelayBands;

// The trend of the display's value and relays over the session, and its CSV
// record. Non-modal; it is given the readings one by one and draws them at
// most once a second while it is shown, from the store's decimated view, so
// that drawing costs the same after a minute or after a day, and little.
class TTrendWindow : public QWidget {
    Q_OBJECT

public:
    TTrendWindow(TLanguage language, const TTrendSetpoints& setpoints, QWidget* parent = nullptr);
    ~TTrendWindow() override;

    void setLanguage(TLanguage language);
    void setSetpoints(const TTrendSetpoints& setpoints);

    // Starts recording to `path` (appending); on failure the window shows why
    // and returns false.
    bool startRecording(const QString& path);
    void stopRecording();
    bool isRecording() const { return log_.isOpen(); }

    const TTrendStore& store() const { return store_; }
    // The span shown, in minutes: 1, 5, 15 or 60.
    int spanMinutes() const;
    bool followsLatest() const;

    // Draws now from the store.
    void redraw();
    // The relays' on periods drawn by the last redraw.
    const std::array<std::vector<TTrendInterval>, 2>& shownRelayBands() const;

public slots:
    void addReading(const TReading& reading);
    void clear();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildChart();
    void applyTexts();
    void scheduleRedraw();
    void askForRecordFile();
    void showRecordMessage(const QString& text, bool failure);
    // The end of the span shown, and where it may go.
    TTrendTime viewEnd() const;
    TTrendTime earliestEnd() const;
    void moveViewEnd(TTrendTime end);
    void updateScrollBar(TTrendTime end);
    void drawCurve(const TTrendView& view);
    void drawStats(const TTrendStats& stats);
    QLineSeries* segmentSeries(std::size_t index);

    TLanguage language_;
    TTrendSetpoints setpoints_;
    TTrendStore store_;
    TCsvLog log_;
    std::optional<TReading> lastReading_;
    std::optional<TTrendTime> frozenEnd_; // the span's end while not following
    std::optional<std::pair<int, TTrendTime>> drag_; // where a drag began: x and the span's end
    bool updatingControls_ = false;
    QTimer redrawTimer_;

    QLabel* spanLabel_ = nullptr;
    QComboBox* spanBox_ = nullptr;
    QCheckBox* followBox_ = nullptr;
    QPushButton* recordButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* chartView_ = nullptr;
    QDateTimeAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
    std::vector<QLineSeries*> segments_;
    QScatterSeries* lonePoints_ = nullptr;
    std::array<QLineSeries*, 2> thresholds_{};
    std::array<QAreaSeries*, 2> bandLegends_{};
    TRelayBands* bands_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    std::array<QLabel*, 7> statCaptions_{};
    std::array<QLabel*, 7> statValues_{};
    QLabel* recordStatus_ = nullptr;
};
