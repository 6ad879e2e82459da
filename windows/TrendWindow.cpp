#include "windows/TrendWindow.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsItem>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollBar>
#include <QShortcut>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "base/Formats.h"
#include "trend/TrendTexts.h"

namespace {

constexpr int kSpans[] = {1, 5, 15, 60}; // minutes
constexpr int kDefaultSpan = 1;          // index: 5 minutes
constexpr int kRedrawMs = 1000; // drawing is most of what continuous reading costs
// Segments beyond this many are drawn as dots: a curve cut a thousand times
// costs no more than one cut two hundred times.
constexpr std::size_t kMaxSegmentSeries = 200;

const QColor kValueColour(0, 0, 160);
const std::array<QColor, 2> kRelayColours = {QColor(220, 40, 40), QColor(30, 110, 220)};

enum Stat { Latest, Minimum, Maximum, Mean, Readings, Missed, NonNumbers };
const char* const kStatNames[] = {"latest", "minimum", "maximum", "mean", "readings", "missed", "nonNumbers"};

// Over the plot area and under its grid and every series.
constexpr qreal kBandsZ = 1.5;

// `top` at `alpha` over `bottom`.
QColor over(QColor top, int alpha, QColor bottom)
{
    auto mix = [alpha](int t, int b) { return (t * alpha + b * (255 - alpha) + 127) / 255; };
    return QColor(mix(top.red(), bottom.red()), mix(top.green(), bottom.green()), mix(top.blue(), bottom.blue()));
}

constexpr int kBandAlpha = 55;
const std::array<QColor, 2> kBandColours = {over(kRelayColours[0], kBandAlpha, Qt::white),
                                            over(kRelayColours[1], kBandAlpha, Qt::white)};
const QColor kBothBandsColour = over(kRelayColours[1], kBandAlpha, kBandColours[0]);

} // namespace

// The relays' on periods as bands across the plot's height, where both are
// on in the colour of one over the other. Painted as opaque rectangles on the
// white plot, which the raster engine fills line by line in one thread:
// translucent fills of tall rectangles, or one area series holding them all,
// cost ten times as much.
class TRelayBands : public QGraphicsItem {
public:
    TRelayBands(QChart* chart, QAbstractSeries* axesOf) : QGraphicsItem(chart), chart_(chart), axesOf_(axesOf)
    {
        setZValue(kBandsZ);
        QObject::connect(chart, &QChart::plotAreaChanged, chart, [this] { prepareGeometryChange(); });
    }

    void setBands(const std::array<std::vector<TTrendInterval>, 2>& bands)
    {
        bands_ = bands;
        update();
    }
    const std::array<std::vector<TTrendInterval>, 2>& bands() const { return bands_; }

    QRectF boundingRect() const override { return chart_->plotArea(); }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        const QRectF area = chart_->plotArea();
        auto band = [&](TTrendTime begin, TTrendTime end, const QColor& colour) {
            const qreal left = std::max(area.left(), x(begin));
            const qreal right = std::min(area.right(), x(end));
            if (right > left)
                painter->fillRect(QRectF(left, area.top(), std::max<qreal>(1.0, right - left), area.height()), colour);
        };
        for (std::size_t r = 0; r < 2; ++r)
            for (const TTrendInterval& on : bands_[r])
                band(on.begin, on.end, kBandColours[r]);
        // Where both are on: both lists are in time order.
        auto second = bands_[1].begin();
        for (const TTrendInterval& first : bands_[0]) {
            while (second != bands_[1].end() && second->end <= first.begin)
                ++second;
            for (auto it = second; it != bands_[1].end() && it->begin < first.end; ++it)
                band(std::max(first.begin, it->begin), std::min(first.end, it->end), kBothBandsColour);
        }
    }

private:
    qreal x(TTrendTime t) const
    {
        return chart_->mapToPosition(QPointF(static_cast<qreal>(t.time_since_epoch().count()), 0.0), axesOf_).x();
    }

    QChart* chart_;
    QAbstractSeries* axesOf_;
    std::array<std::vector<TTrendInterval>, 2> bands_;
};

namespace {

QString text(const TTexts& texts, TLanguage language)
{
    return QString::fromUtf8(texts.pick(language));
}

qreal msecs(TTrendTime t)
{
    return static_cast<qreal>(t.time_since_epoch().count());
}

} // namespace

TTrendWindow::TTrendWindow(TLanguage language, const TTrendSetpoints& setpoints, QWidget* parent)
    : QWidget(parent, Qt::Window), language_(language), setpoints_(setpoints)
{
    setObjectName(QStringLiteral("trendWindow"));
    // Escape closes it, as it closes a dialog; closed, it is only hidden.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    redrawTimer_.setSingleShot(true);
    redrawTimer_.setInterval(kRedrawMs);
    connect(&redrawTimer_, &QTimer::timeout, this, [this] {
        if (isVisible())
            redraw();
    });

    spanLabel_ = new QLabel(this);
    spanBox_ = new QComboBox(this);
    spanBox_->setObjectName(QStringLiteral("spanBox"));
    for (int minutes : kSpans)
        spanBox_->addItem(QStringLiteral("%1 min").arg(minutes), minutes);
    spanBox_->setCurrentIndex(kDefaultSpan);
    spanLabel_->setBuddy(spanBox_);
    followBox_ = new QCheckBox(this);
    followBox_->setObjectName(QStringLiteral("followBox"));
    followBox_->setChecked(true);
    recordButton_ = new QPushButton(this);
    recordButton_->setObjectName(QStringLiteral("recordButton"));
    clearButton_ = new QPushButton(this);
    clearButton_->setObjectName(QStringLiteral("clearButton"));

    auto* top = new QHBoxLayout;
    top->addWidget(spanLabel_);
    top->addWidget(spanBox_);
    top->addSpacing(12);
    top->addWidget(followBox_);
    top->addStretch(1);
    top->addWidget(recordButton_);
    top->addWidget(clearButton_);

    buildChart();
    scrollBar_ = new QScrollBar(Qt::Horizontal, this);
    scrollBar_->setObjectName(QStringLiteral("scrollBar"));

    auto* statsGrid = new QGridLayout;
    for (std::size_t i = 0; i < statValues_.size(); ++i) {
        statCaptions_[i] = new QLabel(this);
        statValues_[i] = new QLabel(this);
        statValues_[i]->setObjectName(QString::fromLatin1(kStatNames[i]));
        statValues_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        statValues_[i]->setMinimumWidth(70);
        const int row = i < 4 ? 0 : 1;
        const int column = static_cast<int>(i < 4 ? i : i - 4) * 2;
        statCaptions_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        statsGrid->addWidget(statCaptions_[i], row, column);
        statsGrid->addWidget(statValues_[i], row, column + 1);
    }
    statsGrid->setColumnStretch(7, 1);
    recordStatus_ = new QLabel(this);
    recordStatus_->setObjectName(QStringLiteral("recordStatus"));
    recordStatus_->setWordWrap(true);
    recordStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(chartView_, 1);
    layout->addWidget(scrollBar_);
    layout->addLayout(statsGrid);
    layout->addWidget(recordStatus_);

    connect(spanBox_, &QComboBox::currentIndexChanged, this, [this] {
        if (!updatingControls_)
            moveViewEnd(viewEnd());
    });
    connect(followBox_, &QCheckBox::toggled, this, [this](bool on) {
        if (updatingControls_)
            return;
        if (on)
            frozenEnd_.reset();
        else
            frozenEnd_ = viewEnd();
        redraw();
    });
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int seconds) {
        if (!updatingControls_)
            moveViewEnd(earliestEnd() + std::chrono::seconds(seconds));
    });
    connect(recordButton_, &QPushButton::clicked, this, [this] {
        if (isRecording())
            stopRecording();
        else
            askForRecordFile();
    });
    connect(clearButton_, &QPushButton::clicked, this, &TTrendWindow::clear);

    applyTexts();
    resize(780, 560);
    redraw();
}

TTrendWindow::~TTrendWindow() = default;

void TTrendWindow::buildChart()
{
    chart_ = new QChart;
    chart_->setMargins(QMargins(4, 4, 4, 4));
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setAnimationOptions(QChart::NoAnimation);

    axisX_ = new QDateTimeAxis;
    axisX_->setFormat(QStringLiteral("HH:mm:ss"));
    axisX_->setTickCount(7);
    axisY_ = new QValueAxis;
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);

    // Empty: they give the bands their legend entries.
    for (std::size_t r = 0; r < 2; ++r) {
        bandLegends_[r] = new QAreaSeries(new QLineSeries(chart_));
        bandLegends_[r]->setBrush(kBandColours[r]);
        bandLegends_[r]->setPen(Qt::NoPen);
        chart_->addSeries(bandLegends_[r]);
        bandLegends_[r]->attachAxis(axisX_);
        bandLegends_[r]->attachAxis(axisY_);
    }
    for (std::size_t r = 0; r < 2; ++r) {
        thresholds_[r] = new QLineSeries;
        thresholds_[r]->setObjectName(QStringLiteral("threshold%1").arg(r + 1));
        QPen pen(kRelayColours[r]);
        pen.setWidthF(1.5);
        pen.setStyle(Qt::DashLine);
        thresholds_[r]->setPen(pen);
        chart_->addSeries(thresholds_[r]);
        thresholds_[r]->attachAxis(axisX_);
        thresholds_[r]->attachAxis(axisY_);
    }
    lonePoints_ = new QScatterSeries;
    lonePoints_->setObjectName(QStringLiteral("lonePoints"));
    lonePoints_->setMarkerSize(5);
    lonePoints_->setColor(kValueColour);
    lonePoints_->setBorderColor(kValueColour);
    chart_->addSeries(lonePoints_);
    lonePoints_->attachAxis(axisX_);
    lonePoints_->attachAxis(axisY_);
    for (QLegendMarker* m : chart_->legend()->markers(lonePoints_))
        m->setVisible(false);
    segmentSeries(0); // the first segment carries the curve's legend entry
    bands_ = new TRelayBands(chart_, segments_.front());

    chartView_ = new QChartView(chart_, this);
    chartView_->setObjectName(QStringLiteral("chartView"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumSize(400, 240);
    chartView_->viewport()->installEventFilter(this);
}

QLineSeries* TTrendWindow::segmentSeries(std::size_t index)
{
    while (segments_.size() <= index) {
        auto* series = new QLineSeries;
        series->setObjectName(QStringLiteral("value"));
        QPen pen(kValueColour);
        pen.setWidthF(1.5);
        series->setPen(pen);
        chart_->addSeries(series);
        series->attachAxis(axisX_);
        series->attachAxis(axisY_);
        if (!segments_.empty())
            for (QLegendMarker* m : chart_->legend()->markers(series))
                m->setVisible(false);
        segments_.push_back(series);
    }
    return segments_[index];
}

void TTrendWindow::applyTexts()
{
    setWindowTitle(text(trendtext::kTitle, language_));
    spanLabel_->setText(text(trendtext::kSpan, language_));
    followBox_->setText(text(trendtext::kFollow, language_));
    recordButton_->setText(text(isRecording() ? trendtext::kStop : trendtext::kRecord, language_));
    clearButton_->setText(text(trendtext::kClear, language_));
    segments_.front()->setName(text(trendtext::kValue, language_));
    for (std::size_t r = 0; r < 2; ++r) {
        const std::string n = std::to_string(r + 1);
        thresholds_[r]->setName(QString::fromStdString(fillIn(trendtext::kThreshold.pick(language_), {n})));
        bandLegends_[r]->setName(QString::fromStdString(fillIn(trendtext::kRelayOn.pick(language_), {n})));
    }
    static constexpr const TTexts* kCaptions[] = {&trendtext::kLatest,   &trendtext::kMinimum, &trendtext::kMaximum,
                                                  &trendtext::kMean,     &trendtext::kReadings, &trendtext::kMissed,
                                                  &trendtext::kNonNumbers};
    for (std::size_t i = 0; i < statCaptions_.size(); ++i)
        statCaptions_[i]->setText(text(*kCaptions[i], language_) + QLatin1Char(':'));
    if (isRecording())
        showRecordMessage(QString::fromStdString(fillIn(trendtext::kRecording.pick(language_), {log_.path()})),
                          false);
}

void TTrendWindow::setLanguage(TLanguage language)
{
    language_ = language;
    applyTexts();
    redraw();
}

void TTrendWindow::setSetpoints(const TTrendSetpoints& setpoints)
{
    setpoints_ = setpoints;
    scheduleRedraw();
}

int TTrendWindow::spanMinutes() const
{
    return spanBox_->currentData().toInt();
}

bool TTrendWindow::followsLatest() const
{
    return !frozenEnd_.has_value();
}

void TTrendWindow::addReading(const TReading& reading)
{
    store_.add(reading);
    lastReading_ = reading;
    if (isRecording()) {
        if (const FileResult result = log_.append(reading); !result.ok) {
            const std::string message = csvFailureText(TCsvStep::Write, log_.path(), result, language_);
            stopRecording();
            showRecordMessage(QString::fromStdString(message), true);
        }
    }
    scheduleRedraw();
}

void TTrendWindow::clear()
{
    store_.clear();
    lastReading_.reset();
    frozenEnd_.reset();
    redraw();
}

bool TTrendWindow::startRecording(const QString& path)
{
    stopRecording();
    if (const FileResult result = log_.open(QFile::encodeName(path).toStdString()); !result.ok) {
        showRecordMessage(
            QString::fromStdString(csvFailureText(TCsvStep::Open, path.toStdString(), result, language_)), true);
        return false;
    }
    applyTexts();
    return true;
}

void TTrendWindow::stopRecording()
{
    log_.close();
    recordStatus_->clear();
    recordButton_->setText(text(trendtext::kRecord, language_));
}

void TTrendWindow::askForRecordFile()
{
    QFileDialog dialog(this, text(trendtext::kFileDialogTitle, language_));
    dialog.setObjectName(QStringLiteral("recordFileDialog"));
    // Rows are appended to an existing file, so there is nothing to confirm.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({text(trendtext::kCsvFiles, language_), text(trendtext::kAllFiles, language_)});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        startRecording(dialog.selectedFiles().constFirst());
}

void TTrendWindow::showRecordMessage(const QString& message, bool failure)
{
    recordStatus_->setStyleSheet(failure ? QStringLiteral("color: rgb(200, 0, 0);") : QString());
    recordStatus_->setText(message);
}

void TTrendWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    redraw();
}

void TTrendWindow::scheduleRedraw()
{
    if (isVisible() && !redrawTimer_.isActive())
        redrawTimer_.start();
}

TTrendTime TTrendWindow::earliestEnd() const
{
    const auto first = store_.firstTime();
    const auto last = store_.lastTime();
    if (!first || !last)
        return {};
    return std::min(*last, *first + std::chrono::minutes(spanMinutes()));
}

TTrendTime TTrendWindow::viewEnd() const
{
    const auto last = store_.lastTime();
    if (!last)
        return std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
    if (!frozenEnd_)
        return *last;
    return std::clamp(*frozenEnd_, earliestEnd(), *last);
}

void TTrendWindow::moveViewEnd(TTrendTime end)
{
    const auto last = store_.lastTime();
    if (last && end < *last)
        frozenEnd_ = std::max(end, earliestEnd());
    else
        frozenEnd_.reset();
    updatingControls_ = true;
    followBox_->setChecked(!frozenEnd_);
    updatingControls_ = false;
    redraw();
}

void TTrendWindow::updateScrollBar(TTrendTime end)
{
    const auto last = store_.lastTime();
    const TTrendTime earliest = earliestEnd();
    updatingControls_ = true;
    const int spanSeconds = spanMinutes() * 60;
    const auto range = last ? std::chrono::ceil<std::chrono::seconds>(*last - earliest).count() : 0;
    scrollBar_->setRange(0, static_cast<int>(std::min<long long>(range, INT32_MAX)));
    scrollBar_->setPageStep(spanSeconds);
    scrollBar_->setSingleStep(std::max(1, spanSeconds / 10));
    scrollBar_->setValue(frozenEnd_ ? static_cast<int>(std::chrono::floor<std::chrono::seconds>(end - earliest).count())
                                    : scrollBar_->maximum());
    followBox_->setChecked(!frozenEnd_);
    updatingControls_ = false;
}

void TTrendWindow::redraw()
{
    redrawTimer_.stop();
    const TTrendTime end = viewEnd();
    const TTrendTime begin = end - std::chrono::minutes(spanMinutes());
    const int columns = std::clamp(static_cast<int>(chart_->plotArea().width()), 100, 4000);
    const TTrendView view = store_.view(begin, end, columns);

    // The value axis spans the curve and the thresholds shown.
    double lo = INFINITY;
    double hi = -INFINITY;
    for (const TTrendPoint& p : view.points) {
        lo = std::min(lo, p.value);
        hi = std::max(hi, p.value);
    }
    for (std::size_t r = 0; r < 2; ++r) {
        if (setpoints_.relays[r].enabled) {
            lo = std::min(lo, setpoints_.scaled(r));
            hi = std::max(hi, setpoints_.scaled(r));
        }
    }
    if (!(lo <= hi)) {
        lo = 0.0;
        hi = 1.0;
    }
    const double margin = hi > lo ? (hi - lo) * 0.08 : std::max(1.0, std::fabs(lo) * 0.05);
    lo -= margin;
    hi += margin;
    axisX_->setRange(QDateTime::fromMSecsSinceEpoch(begin.time_since_epoch().count()),
                     QDateTime::fromMSecsSinceEpoch(end.time_since_epoch().count()));
    // Ticks every 10 s, 1 min, 3 min or 10 min. An axis lays its labels out
    // anew at every call, so only what changed is set.
    if (const int ticks = spanMinutes() == 5 || spanMinutes() == 15 ? 6 : 7; axisX_->tickCount() != ticks)
        axisX_->setTickCount(ticks);
    // Round ticks: a step of 1, 2 or 5 times a power of ten, four to eight of them.
    const double rough = (hi - lo) / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double step = rough / power < 1.5 ? power : rough / power < 3.5 ? 2 * power : 5 * power;
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;
    if (axisY_->min() != lo || axisY_->max() != hi)
        axisY_->setRange(lo, hi);
    if (const int ticks = static_cast<int>(std::lround((hi - lo) / step)) + 1; axisY_->tickCount() != ticks)
        axisY_->setTickCount(ticks);
    const QString format = QStringLiteral("%.%1f").arg(std::max(0, -static_cast<int>(std::floor(std::log10(step)))));
    if (axisY_->labelFormat() != format)
        axisY_->setLabelFormat(format);

    for (std::size_t r = 0; r < 2; ++r) {
        if (setpoints_.relays[r].enabled) {
            const double y = setpoints_.scaled(r);
            thresholds_[r]->replace(QList<QPointF>{{msecs(begin), y}, {msecs(end), y}});
        } else {
            thresholds_[r]->clear();
        }
        thresholds_[r]->setVisible(setpoints_.relays[r].enabled);
    }
    bands_->setBands(view.relayOn);
    drawCurve(view);
    drawStats(store_.stats(begin, end));
    updateScrollBar(end);
}

// One line per stretch without a gap: a line series joins every pair of
// neighbouring points, so a gap must end one series and start the next.
void TTrendWindow::drawCurve(const TTrendView& view)
{
    QList<QPointF> lone;
    std::size_t used = 0;
    for (std::size_t s = 0; s < view.segmentCount(); ++s) {
        const std::size_t from = view.segmentStarts[s];
        const std::size_t to = view.segmentEnd(s);
        if (to - from >= 2 && used < kMaxSegmentSeries) {
            QList<QPointF> points;
            points.reserve(static_cast<qsizetype>(to - from));
            for (std::size_t i = from; i < to; ++i)
                points << QPointF(msecs(view.points[i].time), view.points[i].value);
            segmentSeries(used++)->replace(points);
        } else {
            for (std::size_t i = from; i < to; ++i)
                lone << QPointF(msecs(view.points[i].time), view.points[i].value);
        }
    }
    for (std::size_t i = used; i < segments_.size(); ++i)
        if (segments_[i]->count() > 0)
            segments_[i]->clear();
    lonePoints_->replace(lone);
}

const std::array<std::vector<TTrendInterval>, 2>& TTrendWindow::shownRelayBands() const
{
    return bands_->bands();
}

void TTrendWindow::drawStats(const TTrendStats& stats)
{
    const QString none = QStringLiteral("—");
    auto number = [&](const std::optional<double>& v) {
        return v ? QString::fromStdString(generalFloatText(*v)) : none;
    };
    QString latest = none;
    if (stats.latest) {
        const bool isLastReading =
            lastReading_ &&
            stats.latest->time == std::chrono::floor<std::chrono::milliseconds>(lastReading_->time) &&
            std::chrono::floor<std::chrono::milliseconds>(lastReading_->time) == store_.lastTime();
        if (stats.latest->kind == TSampleKind::Missed)
            latest = text(trendtext::kNoReply, language_);
        else if (isLastReading && lastReading_->value)
            latest = QString::fromLatin1(lastReading_->value->data(), static_cast<qsizetype>(lastReading_->value->size()))
                         .trimmed();
        else if (stats.latest->kind == TSampleKind::Number)
            latest = QString::fromStdString(generalFloatText(stats.latest->value));
    }
    statValues_[Latest]->setText(latest.isEmpty() ? none : latest);
    statValues_[Minimum]->setText(number(stats.min));
    statValues_[Maximum]->setText(number(stats.max));
    const int decimals = std::min<int>(setpoints_.decimalPoint, 4) + 1;
    statValues_[Mean]->setText(stats.mean ? QString::fromStdString(cfmt("%.*f", decimals, *stats.mean)) : none);
    statValues_[Readings]->setText(QString::number(stats.readings));
    statValues_[Missed]->setText(QString::number(stats.missed));
    statValues_[NonNumbers]->setText(QString::number(stats.nonNumbers));
}

// Dragging the plot sideways moves the span through the session.
bool TTrendWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != chartView_->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton && !store_.empty()) {
            drag_.emplace(qRound(e->position().x()), viewEnd());
            return true;
        }
        break;
    }
    case QEvent::MouseMove:
        if (drag_) {
            const auto* e = static_cast<QMouseEvent*>(event);
            const double width = std::max(1.0, chart_->plotArea().width());
            const double dx = e->position().x() - drag_->first;
            const auto shift = std::chrono::milliseconds(
                std::llround(-dx / width * spanMinutes() * 60000.0));
            moveViewEnd(drag_->second + shift);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (drag_) {
            drag_.reset();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
