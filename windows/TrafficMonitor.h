#pragma once
#include <QAbstractTableModel>
#include <QWidget>
#include <deque>

#include "base/Language.h"
#include "link/Traffic.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;
class TDisplayLink;

// The frames of one session, newest last, at most kMaxFrames.
class TTrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr std::size_t kMaxFrames = 10000;
    enum Column { TimeColumn, DirectionColumn, PortColumn, FrameColumn, LatencyColumn, OutcomeColumn, ColumnCount };

    explicit TTrafficModel(TLanguage language, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void add(const std::vector<TTrafficRecord>& records);
    void clear();
    void setHex(bool hex);
    // Headers, directions and outcomes in `language`.
    void setLanguage(TLanguage language);
    // One line per frame, the columns separated by tabs, bytes as shown.
    QString text() const;

private:
    // One frame as the table shows it, formatted once when it comes.
    struct TRow {
        QString cells[ColumnCount];
        QString hex;
        bool problem = false; // no reply, invalid, line lost
        bool aside = false;   // echo or bytes after the CR: shown, not taken
        bool sent = false;
        TTrafficNote note = TTrafficNote::None;
    };
    TRow row(const TTrafficRecord& r) const;
    void sayInLanguage(TRow& row) const;

    TLanguage language_;
    bool hex_ = false;
    std::deque<TRow> frames_;
};

// A non-modal window that lists every frame the main window sends and
// receives. It listens to the link only while it exists.
class TTrafficMonitor : public QWidget {
    Q_OBJECT
public:
    TTrafficMonitor(QWidget* owner, TLanguage language, TDisplayLink& link);

    TTrafficModel* model() const { return model_; }
    // Every text, the rows' words included, in `language`.
    void setLanguage(TLanguage language);

private:
    void applyTexts();
    void add(const TTrafficRecord& record);
    void flush();
    void setPaused(bool paused);
    void save();
    void showCount();

    TLanguage language_;
    TTrafficModel* model_;
    QTableView* view_;
    QPushButton* pause_;
    QPushButton* clear_;
    QPushButton* save_;
    QCheckBox* hex_;
    QLabel* count_;
    bool paused_ = false;
    // Frames not shown yet: gathered for up to a second, so that a second of
    // continuous reading costs one repaint of the table, and held while paused.
    std::vector<TTrafficRecord> held_;
    QTimer* flushTimer_;
};
