#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

#include "config/DisplayConfig.h"
#include "dialogs/Confreles.h"
#include "dialogs/MaskEdit.h"
#include "dialogs/RadioGroup.h"
#include "support/Child.h"
#include "support/Choose.h"
#include "support/ConfigCompare.h"
#include "support/Dialogs.h"
#include "support/DigitClasses.h"

using testsupport::child;
using testsupport::defaults;

namespace {

// On its indicator: a short item's button is wider than what it draws.
void clickAtLeft(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
}

} // namespace

class TestConfreles : public QObject {
    Q_OBJECT
private slots:
    void newConfiguration();
    void enabledLowOpensLowAndRecheckSelectsHigh();
    void uncheckingStoresOffAndLow();
    void delayTypeChangesOnlyItsLabel();
    void rulesFollowAnyChoice_data();
    void rulesFollowAnyChoice();
    void valuesSurviveOk_data();
    void valuesSurviveOk();
    void typedLevels_data();
    void typedLevels();
    void delayOutsideTheField();
    void cancelAndClose();
    void languages_data();
    void languages();

private:
    std::unique_ptr<TForm9> open(const TDisplayConfig& cfg, int language = 0);
};

std::unique_ptr<TForm9> TestConfreles::open(const TDisplayConfig& cfg, int language)
{
    return testsupport::openLoaded<TForm9>(language, cfg);
}

void TestConfreles::newConfiguration()
{
    const TDisplayConfig cfg = defaults();
    auto d = open(cfg);
    for (int r : {1, 2}) {
        const QString n = QString::number(r);
        QVERIFY(!child<QCheckBox>(d.get(), "CheckBox" + n)->isChecked());
        QCOMPARE(child<TRadioGroup>(d.get(), "NivellDispar" + n)->itemIndex(), -1);
        QCOMPARE(child<TRadioGroup>(d.get(), "Temporitzacio" + n)->itemIndex(), 1);
        QCOMPARE(child<QLabel>(d.get(), "TextRetard" + n)->text(), QString("Valor de histeresis"));
        QCOMPARE(child<TMaskEdit>(d.get(), "ValRetard" + n)->text(), QString("000"));
        QCOMPARE(child<TMaskEdit>(d.get(), "ValNivell" + n)->text(), QString("00000"));
        // Off: the relay's controls are shown disabled from the start.
        QVERIFY(!child<QWidget>(d.get(), "ValNivell" + n)->isEnabled());
        QVERIFY(!child<QWidget>(d.get(), "Temporitzacio" + n)->isEnabled());
    }
    QTest::mouseClick(child<QPushButton>(d.get(), "Button1"), Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Accepted));
    TDisplayConfig out = cfg;
    d->storeTo(out);
    QCOMPARE(out.Relay1DelayType, '1');
    QCOMPARE(out.Relay2DelayType, '1');
    QCOMPARE(out.Relay1Enabled, std::uint8_t(0));
    QCOMPARE(out.Relay1TriggerLevel, '1');
    QCOMPARE(out.Relay2TriggerLevel, '1');
    QCOMPARE(out.Relay1Delay, 0);
    QCOMPARE(out.Relay2Setpoint, 0);
}

void TestConfreles::enabledLowOpensLowAndRecheckSelectsHigh()
{
    TDisplayConfig cfg = defaults();
    cfg.Relay1Enabled = 1;
    cfg.Relay1TriggerLevel = '1';
    auto d = open(cfg);
    auto* box = child<QCheckBox>(d.get(), "CheckBox1");
    auto* trigger = child<TRadioGroup>(d.get(), "NivellDispar1");
    QVERIFY(box->isChecked());
    QCOMPARE(trigger->itemIndex(), 1);
    QVERIFY(trigger->isEnabled());
    clickAtLeft(box);
    QCOMPARE(trigger->itemIndex(), -1);
    QVERIFY(!trigger->isEnabled());
    clickAtLeft(box);
    QCOMPARE(trigger->itemIndex(), 0);
    QVERIFY(child<QWidget>(d.get(), "ValNivell1")->isEnabled());
    clickAtLeft(trigger->button(1));
    d->storeTo(cfg);
    QCOMPARE(cfg.Relay1Enabled, std::uint8_t(1));
    QCOMPARE(cfg.Relay1TriggerLevel, '1');
}

void TestConfreles::uncheckingStoresOffAndLow()
{
    TDisplayConfig cfg = defaults();
    cfg.Relay2Enabled = 1;
    cfg.Relay2TriggerLevel = '0';
    cfg.Relay2DelayType = '0';
    cfg.Relay2Delay = 42;
    cfg.Relay2Setpoint = -321;
    auto d = open(cfg);
    clickAtLeft(child<QCheckBox>(d.get(), "CheckBox2"));
    d->storeTo(cfg);
    QCOMPARE(cfg.Relay2Enabled, std::uint8_t(0));
    QCOMPARE(cfg.Relay2TriggerLevel, '1');
    QCOMPARE(cfg.Relay2DelayType, '0');
    QCOMPARE(cfg.Relay2Delay, 42);
    QCOMPARE(cfg.Relay2Setpoint, -321);
}

void TestConfreles::delayTypeChangesOnlyItsLabel()
{
    TDisplayConfig cfg = defaults();
    cfg.Relay1Enabled = cfg.Relay2Enabled = 1;
    auto d = open(cfg, 3);
    clickAtLeft(child<TRadioGroup>(d.get(), "Temporitzacio2")->button(0));
    QCOMPARE(child<QLabel>(d.get(), "TextRetard2")->text(), QString("Delay time"));
    QCOMPARE(child<QLabel>(d.get(), "TextRetard1")->text(), QString("Hysteresis value"));
    clickAtLeft(child<TRadioGroup>(d.get(), "Temporitzacio2")->button(1));
    QCOMPARE(child<QLabel>(d.get(), "TextRetard2")->text(), QString("Hysteresis value"));
}

void TestConfreles::rulesFollowAnyChoice_data()
{
    testsupport::addChooseWayRows();
}

// The enabling and label rules run however the box or the delay kind is changed.
void TestConfreles::rulesFollowAnyChoice()
{
    QFETCH(QString, way);
    TDisplayConfig cfg = defaults();
    cfg.Relay2Enabled = 1;
    auto d = open(cfg);
    auto* box = child<QCheckBox>(d.get(), "CheckBox1");
    auto* trigger = child<TRadioGroup>(d.get(), "NivellDispar1");
    testsupport::choose(box, way);
    QVERIFY(box->isChecked());
    QCOMPARE(trigger->itemIndex(), 0);
    for (const char* name : {"Temporitzacio1", "NivellDispar1", "TextRetard1", "TextNivell1", "ValRetard1",
                             "ValNivell1"})
        QVERIFY2(child<QWidget>(d.get(), name)->isEnabled(), name);
    testsupport::choose(box, way);
    QVERIFY(!box->isChecked());
    QCOMPARE(trigger->itemIndex(), -1);
    QVERIFY(!child<QWidget>(d.get(), "ValNivell1")->isEnabled());

    testsupport::choose(child<TRadioGroup>(d.get(), "Temporitzacio2")->button(0), way);
    QCOMPARE(child<QLabel>(d.get(), "TextRetard2")->text(), QString("Temps de retard"));
    QCOMPARE(child<QLabel>(d.get(), "TextRetard1")->text(), QString("Valor de histeresis"));
}

void TestConfreles::valuesSurviveOk_data()
{
    QTest::addColumn<int>("digitsIndex");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("largest");
    QTest::addColumn<int>("smallest");
    const int largest[3] = {9999, 99999, 999999};
    const int smallest[3] = {-999, -9999, -99999};
    for (int digitsIndex : {0, 1, 2, 3, 8}) {
        const testsupport::DigitClassRow& cls = testsupport::digitClassRow(digitsIndex);
        const int w = cls.width - 4;
        // A position beyond 4 draws as position 4.
        for (int p = 0; p <= 5; ++p)
            QTest::addRow("%d digits, position %d", digitsIndex + 2, p)
                << digitsIndex << p << QString::fromLatin1(cls.displayMasks[std::min(p, 4)]) << largest[w]
                << smallest[w];
    }
}

void TestConfreles::valuesSurviveOk()
{
    QFETCH(int, digitsIndex);
    QFETCH(int, position);
    QFETCH(QString, mask);
    QFETCH(int, largest);
    QFETCH(int, smallest);
    for (auto [s1, s2] : {std::pair{0, -7}, std::pair{largest, smallest}, std::pair{smallest, largest}}) {
        TDisplayConfig cfg = defaults();
        cfg.DigitsIndex = std::uint8_t(digitsIndex);
        cfg.DecimalPoint = std::uint8_t(position);
        cfg.Relay1Enabled = 1;
        cfg.Relay1DelayType = '0';
        cfg.Relay1TriggerLevel = '0';
        cfg.Relay1Delay = 999;
        cfg.Relay1Setpoint = s1;
        cfg.Relay2Enabled = 1;
        cfg.Relay2DelayType = '1';
        cfg.Relay2TriggerLevel = '1';
        cfg.Relay2Delay = 0;
        cfg.Relay2Setpoint = s2;
        auto d = open(cfg);
        QCOMPARE(QString::fromStdString(child<TMaskEdit>(d.get(), "ValNivell1")->mask()), mask);
        TDisplayConfig out = defaults();
        out.DigitsIndex = cfg.DigitsIndex;
        out.DecimalPoint = cfg.DecimalPoint;
        d->storeTo(out);
        testsupport::verifySameRelays(out, cfg);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestConfreles::typedLevels_data()
{
    QTest::addColumn<int>("digitsIndex");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("setpoint");
    QTest::newRow("-12.34 at 4 digits, position 2") << 2 << 2 << "-12.34" << "-12.34" << -1234;
    QTest::newRow("12.5 at 4 digits, position 1") << 2 << 1 << "12.5" << "0012.5" << 125;
    QTest::newRow("3 digits, position 3 uses two decimals") << 1 << 3 << "1.5" << "01.50" << 150;
    QTest::newRow("2 digits use five-digit masks") << 0 << 0 << "99999" << "099999" << 99999;
    QTest::newRow("10 digits, position 4") << 8 << 4 << "-9.9999" << "-9.9999" << -99999;
    QTest::newRow("too long stops") << 2 << 0 << "1234567" << "12345" << 12345;
}

void TestConfreles::typedLevels()
{
    QFETCH(int, digitsIndex);
    QFETCH(int, position);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(int, setpoint);
    TDisplayConfig cfg = defaults();
    cfg.DigitsIndex = std::uint8_t(digitsIndex);
    cfg.DecimalPoint = std::uint8_t(position);
    cfg.Relay1Enabled = 1;
    auto d = open(cfg);
    auto* level = child<TMaskEdit>(d.get(), "ValNivell1");
    QTest::mouseClick(level, Qt::LeftButton, {}, QPoint(4, level->height() / 2));
    QTest::keyClicks(level, keys);
    QTest::keyClick(level, Qt::Key_Return);
    QCOMPARE(level->text(), shown);
    auto* delay = child<TMaskEdit>(d.get(), "ValRetard1");
    QTest::mouseClick(delay, Qt::LeftButton, {}, QPoint(4, delay->height() / 2));
    QTest::keyClicks(delay, "75");
    d->storeTo(cfg);
    QCOMPARE(cfg.Relay1Setpoint, setpoint);
    QCOMPARE(cfg.Relay1Delay, 75);
}

void TestConfreles::delayOutsideTheField()
{
    TDisplayConfig cfg = defaults();
    cfg.Relay1Delay = 5000;
    cfg.Relay2Delay = -3;
    cfg.Relay1Setpoint = 123456;
    auto d = open(cfg);
    QCOMPARE(child<TMaskEdit>(d.get(), "ValRetard1")->text(), QString("999"));
    QCOMPARE(child<TMaskEdit>(d.get(), "ValRetard2")->text(), QString("000"));
    QCOMPARE(child<TMaskEdit>(d.get(), "ValNivell1")->text(), QString("99999"));
    d->storeTo(cfg);
    QCOMPARE(cfg.Relay1Delay, 999);
    QCOMPARE(cfg.Relay2Delay, 0);
    QCOMPARE(cfg.Relay1Setpoint, 99999);
}

void TestConfreles::cancelAndClose()
{
    auto d = open(defaults());
    QTest::mouseClick(child<QPushButton>(d.get(), "Button2"), Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Rejected));
    d.reset();
    d = open(defaults());
    d->close();
    QCOMPARE(d->result(), int(QDialog::Rejected));
}

void TestConfreles::languages_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("relay2");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("hysteresis");
    QTest::newRow("Catalan") << 0 << QString::fromUtf8("Configuració reles") << QString::fromUtf8("Configuració rele 2")
                             << QString::fromUtf8("Nivell de dispar") << QString::fromUtf8("Valor de histeresis");
    QTest::newRow("Spanish") << 1 << QString::fromUtf8("Configuración reles")
                             << QString::fromUtf8("Configuración rele 2") << QString::fromUtf8("Nivel de disparo")
                             << QString::fromUtf8("Valor de histeresis");
    QTest::newRow("French") << 2 << QString::fromUtf8("Configuration relais")
                            << QString::fromUtf8("Configuration relai 2") << QString::fromUtf8("Mode d'activation")
                            << QString::fromUtf8("Valeur hystérésis");
    QTest::newRow("English") << 3 << QString::fromUtf8("Setup relay") << QString::fromUtf8("Setup relay 2")
                             << QString::fromUtf8("Threshold") << QString::fromUtf8("Hysteresis value");
    QTest::newRow("built in") << 7 << QString::fromUtf8("DADiz 1.0 - Configuración reles")
                              << QString::fromUtf8("Configuración rele 2") << QString::fromUtf8("Nivel de disparo")
                              << QString::fromUtf8("Valor de histeresis");
}

void TestConfreles::languages()
{
    QFETCH(int, language);
    QFETCH(QString, title);
    QFETCH(QString, relay2);
    QFETCH(QString, level);
    QFETCH(QString, hysteresis);
    auto d = open(defaults(), language);
    QCOMPARE(d->windowTitle(), title);
    QCOMPARE(child<QGroupBox>(d.get(), "GroupBox2")->title(), relay2);
    QCOMPARE(child<QLabel>(d.get(), "TextNivell1")->text(), level);
    QCOMPARE(child<QLabel>(d.get(), "TextRetard2")->text(), hysteresis);
}

QTEST_MAIN(TestConfreles)
#include "test_confreles.moc"
