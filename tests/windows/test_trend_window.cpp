#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/resource.h>

#include "support/Child.h"
#include "windows/TrendWindow.h"

using namespace std::chrono_literals;
using testsupport::child;

namespace {

const auto kStart = std::chrono::system_clock::time_point(std::chrono::sys_days(std::chrono::year(2026) / 12 / 7)) + 9h;

TReading at(int halfSeconds, const char* text, std::array<bool, 2> relays = {false, false})
{
    return {kStart + halfSeconds * 500ms, text == nullptr, text ? std::optional<std::string>(text) : std::nullopt,
            text ? std::optional(relays) : std::nullopt};
}

TTrendSetpoints setpoints(bool second)
{
    TTrendSetpoints s;
    s.relays[0] = {true, 180};   // 18.0
    s.relays[1] = {second, -25}; // -2.5
    s.decimalPoint = 1;
    return s;
}

QString stat(QWidget* w, const char* name)
{
    return child<QLabel>(w, QString::fromLatin1(name))->text();
}

QList<QLineSeries*> curveSegments(QWidget* w)
{
    QList<QLineSeries*> out;
    for (QAbstractSeries* s : child<QChartView>(w, QStringLiteral("chartView"))->chart()->series())
        if (s->objectName() == QLatin1String("value") && static_cast<QLineSeries*>(s)->count() > 0)
            out << static_cast<QLineSeries*>(s);
    return out;
}

template <typename T>
T* series(QWidget* w, const QString& name)
{
    for (QAbstractSeries* s : child<QChartView>(w, QStringLiteral("chartView"))->chart()->series())
        if (s->objectName() == name)
            return static_cast<T*>(s);
    qFatal("no series %s", qPrintable(name));
}

} // namespace

class TestTrendWindow : public QObject {
    Q_OBJECT

private slots:
    void textsPerLanguage_data();
    void textsPerLanguage();
    void statsGapsThresholdsAndBands();
    void drawsOnlyWhileShownAtMostTwiceASecond();
    void pansBackThroughTheSession();
    void recordsAndStopsOnAFailedWrite();
};

void TestTrendWindow::textsPerLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("missed");
    QTest::newRow("ca") << 0 << QStringLiteral("Tendència") << QStringLiteral("Enregistra") << QStringLiteral("Perdudes:");
    QTest::newRow("es") << 1 << QStringLiteral("Tendencia") << QStringLiteral("Grabar") << QStringLiteral("Perdidas:");
    QTest::newRow("fr") << 2 << QStringLiteral("Tendance") << QStringLiteral("Enregistrer") << QStringLiteral("Manquées:");
    QTest::newRow("en") << 3 << QStringLiteral("Trend") << QStringLiteral("Record") << QStringLiteral("Missed:");
}

void TestTrendWindow::textsPerLanguage()
{
    QFETCH(int, language);
    QFETCH(QString, title);
    QFETCH(QString, record);
    QFETCH(QString, missed);
    TTrendWindow w(kLanguages[3 - language], setpoints(true));
    w.setLanguage(kLanguages[language]);
    QCOMPARE(w.windowTitle(), title);
    QCOMPARE(child<QPushButton>(&w, QStringLiteral("recordButton"))->text(), record);
    const auto labels = w.findChildren<QLabel*>();
    QVERIFY(std::any_of(labels.begin(), labels.end(), [&](QLabel* l) { return l->text() == missed; }));
}

void TestTrendWindow::statsGapsThresholdsAndBands()
{
    TTrendWindow w(TLanguage::English, setpoints(false));
    w.show();
    const char* values[] = {"  12.0", "  14.0", "  16.0", nullptr, "  20.0", "  22.0", "  ----", "  10.0", "  11.0"};
    for (int i = 0; i < 9; ++i)
        w.addReading(at(i, values[i], {i >= 4 && i < 6, false}));
    w.redraw();

    QCOMPARE(stat(&w, "latest"), QStringLiteral("11.0"));
    QCOMPARE(stat(&w, "minimum"), QStringLiteral("10"));
    QCOMPARE(stat(&w, "maximum"), QStringLiteral("22"));
    QCOMPARE(stat(&w, "mean"), QStringLiteral("15.00"));
    QCOMPARE(stat(&w, "readings"), QStringLiteral("9"));
    QCOMPARE(stat(&w, "missed"), QStringLiteral("1"));
    QCOMPARE(stat(&w, "nonNumbers"), QStringLiteral("1"));

    // Three runs of numbers, three lines; none of them passes through zero.
    const QList<QLineSeries*> segments = curveSegments(&w);
    QCOMPARE(segments.size(), 3);
    QCOMPARE(segments[0]->count(), 3);
    QCOMPARE(segments[1]->count(), 2);
    QCOMPARE(segments[2]->count(), 2);
    QCOMPARE(segments[1]->at(0).y(), 20.0);

    auto* threshold1 = series<QLineSeries>(&w, QStringLiteral("threshold1"));
    QVERIFY(threshold1->isVisible());
    QCOMPARE(threshold1->at(0).y(), 18.0);
    QVERIFY(!series<QLineSeries>(&w, QStringLiteral("threshold2"))->isVisible());
    w.setSetpoints(setpoints(true));
    w.redraw();
    QCOMPARE(series<QLineSeries>(&w, QStringLiteral("threshold2"))->at(1).y(), -2.5);

    // Relay 1 was on from the fifth reading to the seventh: one band of 1 s.
    const auto& bands = w.shownRelayBands();
    QCOMPARE(bands[0].size(), std::size_t{1});
    QVERIFY(bands[0][0].begin == std::chrono::floor<std::chrono::milliseconds>(at(4, "").time));
    QCOMPARE((bands[0][0].end - bands[0][0].begin).count(), 1000);
    QVERIFY(bands[1].empty());
}

void TestTrendWindow::drawsOnlyWhileShownAtMostTwiceASecond()
{
    TTrendWindow w(TLanguage::English, setpoints(true));
    w.addReading(at(0, "1"));
    QTest::qWait(600);
    QCOMPARE(stat(&w, "readings"), QStringLiteral("0")); // hidden: not drawn
    w.show();
    QCOMPARE(stat(&w, "readings"), QStringLiteral("1"));
    w.addReading(at(1, "2"));
    QCOMPARE(stat(&w, "readings"), QStringLiteral("1")); // drawn with the next ones
    w.addReading(at(2, "3"));
    QTRY_COMPARE(stat(&w, "readings"), QStringLiteral("3"));

    // Readings streaming in: every draw comes half a second or more after the
    // one before (a coarse timer may fire 5 % early), and the last shows them all.
    QElapsedTimer clock;
    clock.start();
    QList<qint64> draws;
    connect(series<QLineSeries>(&w, QStringLiteral("threshold1")), &QXYSeries::pointsReplaced, &w,
        [&] { draws << clock.elapsed(); });
    const int streamed = 60;
    for (int i = 3; i < 3 + streamed; ++i) {
        w.addReading(at(i, "4"));
        QTest::qWait(50);
    }
    QVERIFY2(!draws.isEmpty(), "nothing drawn while readings came in");
    QTRY_COMPARE(stat(&w, "readings"), QString::number(3 + streamed));
    for (qsizetype i = 1; i < draws.size(); ++i)
        QVERIFY2(draws[i] - draws[i - 1] >= 475, qPrintable(QStringLiteral("draws at %1 ms").arg(
            [&] { QStringList t; for (qint64 d : draws) t << QString::number(d); return t.join(QLatin1Char(' ')); }())));
}

void TestTrendWindow::pansBackThroughTheSession()
{
    TTrendWindow w(TLanguage::English, setpoints(true));
    w.show();
    for (int i = 0; i <= 2 * 600; ++i) // ten minutes
        w.addReading(at(i, i < 120 ? "  1.0" : "  2.0"));
    w.redraw();
    auto* bar = child<QScrollBar>(&w, QStringLiteral("scrollBar"));
    QCOMPARE(w.spanMinutes(), 5);
    QCOMPARE(bar->maximum(), 300);
    QCOMPARE(bar->value(), 300);
    QVERIFY(w.followsLatest());

    bar->setValue(0); // the session's first five minutes
    QVERIFY(!w.followsLatest());
    QVERIFY(!child<QCheckBox>(&w, QStringLiteral("followBox"))->isChecked());
    QCOMPARE(stat(&w, "readings"), QStringLiteral("601"));
    QCOMPARE(stat(&w, "minimum"), QStringLiteral("1"));
    w.addReading(at(1201, "  3.0"));
    w.redraw();
    QCOMPARE(stat(&w, "maximum"), QStringLiteral("2")); // the span stays where it was put

    child<QCheckBox>(&w, QStringLiteral("followBox"))->setChecked(true);
    QCOMPARE(stat(&w, "latest"), QStringLiteral("3.0"));
    QCOMPARE(bar->value(), bar->maximum());
}

void TestTrendWindow::recordsAndStopsOnAFailedWrite()
{
    QTemporaryDir dir;
    TTrendWindow w(TLanguage::French, setpoints(true));
    w.show();
    auto* status = child<QLabel>(&w, QStringLiteral("recordStatus"));

    QVERIFY(!w.startRecording(dir.path()));
    QCOMPARE(status->text(), QStringLiteral("Impossible d'ouvrir %1 : c'est un dossier.").arg(dir.path()));

    const QString path = dir.filePath(QStringLiteral("trend.csv"));
    QVERIFY(w.startRecording(path));
    QCOMPARE(child<QPushButton>(&w, QStringLiteral("recordButton"))->text(), QStringLiteral("Arrêter"));
    w.addReading(at(0, "  1.5"));
    w.addReading(at(1, nullptr));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = static_cast<rlim_t>(QFileInfo(path).size());
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    w.addReading(at(2, "  2.5"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    QVERIFY(!w.isRecording());
    QCOMPARE(status->text(),
             QStringLiteral("Enregistrement arrêté : impossible d'écrire dans %1 : fichier trop volumineux.").arg(path));
    w.addReading(at(3, "  3.5"));
    w.redraw();
    QCOMPARE(stat(&w, "readings"), QStringLiteral("4"));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().split('\n');
    QCOMPARE(rows.size(), 4); // header, two rows, nothing after the last CR LF
    QCOMPARE(rows[0], QByteArray("time,display,value,relay1,relay2,status\r"));
    QVERIFY(rows[2].endsWith(",,,,,missed\r"));
}

QTEST_MAIN(TestTrendWindow)
#include "test_trend_window.moc"
