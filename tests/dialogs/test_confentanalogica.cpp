#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <cmath>
#include <memory>

#include "config/DisplayConfig.h"
#include "dialogs/Confentanalogica.h"
#include "dialogs/MaskEdit.h"
#include "dialogs/RadioGroup.h"
#include "support/Child.h"
#include "support/Choose.h"
#include "support/ConfigCompare.h"
#include "support/Dialogs.h"
#include "support/DigitClasses.h"

using testsupport::child;
using testsupport::defaults;
using testsupport::verifySameAnalog;

namespace {

// On its indicator: a short item's button is wider than what it draws.
void clickItem(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

double power10(int n)
{
    return std::pow(10.0, n);
}

} // namespace

class TestConfentanalogica : public QObject {
    Q_OBJECT
private slots:
    void newConfigurationDefaults();
    void valuesSurviveOk_data();
    void valuesSurviveOk();
    void positionAboveTheCap_data();
    void positionAboveTheCap();
    void typedValuesAndLimits_data();
    void typedValuesAndLimits();
    void offsetTyping_data();
    void offsetTyping();
    void offsetShowsWhatIsStored_data();
    void offsetShowsWhatIsStored();
    void decimalPointChangeKeepsTheCounts();
    void modeSwitchEnablesAndKeepsValues();
    void rulesFollowAnyChoice_data();
    void rulesFollowAnyChoice();
    void unknownModeAndNoSelection();
    void threeDigitInputMask();
    void buttonsAndLists();
    void languages_data();
    void languages();

private:
    std::unique_ptr<TForm3> open(const TDisplayConfig& cfg);
    void typeInto(QWidget* field, const QString& keys);
};

std::unique_ptr<TForm3> TestConfentanalogica::open(const TDisplayConfig& cfg)
{
    return testsupport::openLoaded<TForm3>(0, cfg);
}

void TestConfentanalogica::typeInto(QWidget* field, const QString& keys)
{
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(4, field->height() / 2));
    QTest::keyClicks(field, keys);
    QTest::keyClick(field, Qt::Key_Return);
}

void TestConfentanalogica::newConfigurationDefaults()
{
    const TDisplayConfig cfg = defaults();
    auto d = open(cfg);
    QCOMPARE(child<TRadioGroup>(d.get(), "RadioGroup1")->itemIndex(), 0);
    QCOMPARE(child<TRadioGroup>(d.get(), "RadioGroup2")->itemIndex(), 0);
    for (const char* name : {"RadioGroup3", "GroupBox4", "ComboBox2", "RadioGroup4", "GroupBox5", "Edit5"})
        QVERIFY2(!child<QWidget>(d.get(), name)->isEnabled(), name);
    for (const char* name : {"RadioGroup2", "GroupBox1", "Edit1", "Edit2", "GroupBox3", "ComboBox1"})
        QVERIFY2(child<QWidget>(d.get(), name)->isEnabled(), name);
    QCOMPARE(child<TMaskEdit>(d.get(), "Edit1")->text(), QString("000.00"));
    QCOMPARE(child<TMaskEdit>(d.get(), "Edit3")->text(), QString("000.00"));
    QCOMPARE(child<TMaskEdit>(d.get(), "Edit2")->text(), QString("00000"));
    QCOMPARE(child<TMaskEdit>(d.get(), "Edit2")->mask(), std::string("!#9999;0;0"));
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox1")->currentText(), QString("0"));
    QCOMPARE(child<TRadioGroup>(d.get(), "RadioGroup3")->button(0)->isChecked(), true);
    QCOMPARE(child<TRadioGroup>(d.get(), "RadioGroup3")->button(0)->text(), QString::fromUtf8("ºF"));
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox2")->currentText(), QString("PT100"));
    QCOMPARE(child<TRadioGroup>(d.get(), "RadioGroup4")->button(0)->text(), QString::fromUtf8("1 º"));
    QCOMPARE(child<TRadioGroup>(d.get(), "RadioGroup4")->itemIndex(), 0);
    QCOMPARE(child<TMaskEdit>(d.get(), "Edit5")->text().trimmed(), QString("0"));

    QTest::mouseClick(child<QPushButton>(d.get(), "Button1"), Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Accepted));
    TDisplayConfig stored = cfg;
    d->storeTo(stored);
    verifySameAnalog(stored, cfg);
}

void TestConfentanalogica::valuesSurviveOk_data()
{
    QTest::addColumn<int>("digitsIndex");
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("display1");
    QTest::addColumn<double>("display2");
    QTest::addColumn<double>("input1");
    QTest::addColumn<double>("input2");
    QTest::addColumn<QString>("inputMask");
    QTest::addColumn<QString>("displayMask");
    for (int digitsIndex : {0, 1, 2, 3, 4, 8}) {
        const testsupport::DigitClassRow& cls = testsupport::digitClassRow(digitsIndex);
        const int width = cls.width;
        const double highest = digitsIndex == 3 ? 19999 : 9999;
        // An input value with every decimal the field shows.
        const double fineInput = std::round(12.3456 * power10(cls.inputDecimals)) / power10(cls.inputDecimals);
        for (int p = 0; p <= cls.cap; ++p) {
            // The extremes the mask holds, within the limits of the storing.
            const double largest = std::min(power10(width) - 1, highest * power10(p)) / power10(p);
            const double smallest = std::max(-(power10(width - 1) - 1), -19999 * power10(p)) / power10(p);
            const double fine = std::max(-(power10(width - 1) - 7), -19993 * power10(p)) / power10(p);
            const auto row = [&](const char* what, double d1, double d2, double i1, double i2) {
                QTest::addRow("%d digits, position %d, %s", digitsIndex + 2, p, what)
                    << digitsIndex << p << d1 << d2 << i1 << i2 << QString::fromLatin1(cls.inputMask)
                    << QString::fromLatin1(cls.displayMasks[p]);
            };
            row("zero", 0.0, 0.0, 0.0, 0.0);
            row("largest and smallest", largest, smallest, 99.9, -99.9);
            row("smallest and largest", smallest, largest, -99.9, 99.9);
            row("negative and small", fine, 7 / power10(p), -fineInput, fineInput);
        }
    }
}

void TestConfentanalogica::valuesSurviveOk()
{
    QFETCH(int, digitsIndex);
    QFETCH(int, position);
    QFETCH(double, display1);
    QFETCH(double, display2);
    QFETCH(double, input1);
    QFETCH(double, input2);
    QFETCH(QString, inputMask);
    QFETCH(QString, displayMask);
    TDisplayConfig cfg = defaults();
    cfg.DigitsIndex = std::uint8_t(digitsIndex);
    cfg.DecimalPoint = std::uint8_t(position);
    cfg.DisplayValue1 = display1;
    cfg.DisplayValue2 = display2;
    cfg.InputValue1 = input1;
    cfg.InputValue2 = input2;
    cfg.ProcessInput = 1;
    cfg.InputMode = 1;
    cfg.TempUnits = 1;
    cfg.ProbeType = 3;
    cfg.Resolution = 1;
    cfg.TempOffset = -99;
    auto d = open(cfg);
    QCOMPARE(QString::fromStdString(child<TMaskEdit>(d.get(), "Edit3")->mask()), inputMask);
    QCOMPARE(QString::fromStdString(child<TMaskEdit>(d.get(), "Edit4")->mask()), displayMask);
    QTest::mouseClick(child<QPushButton>(d.get(), "Button1"), Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Accepted));
    TDisplayConfig stored = defaults();
    stored.DigitsIndex = cfg.DigitsIndex;
    d->storeTo(stored);
    verifySameAnalog(stored, cfg);
}

void TestConfentanalogica::positionAboveTheCap_data()
{
    QTest::addColumn<int>("digitsIndex");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("offered");
    QTest::addColumn<int>("shown");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("3 digits, position 3") << 1 << 3 << 3 << 2 << 1.25 << "01.25";
    QTest::newRow("3 digits, position 4") << 1 << 4 << 3 << 2 << -9.99 << "-9.99";
    QTest::newRow("4 digits, position 4") << 2 << 4 << 4 << 3 << 1.234 << "01.234";
    QTest::newRow("5 digits, position 5") << 3 << 5 << 5 << 4 << 1.2345 << "01.2345";
    QTest::newRow("no position stored") << 2 << 255 << 4 << 3 << -0.5 << "-0.500";
}

void TestConfentanalogica::positionAboveTheCap()
{
    QFETCH(int, digitsIndex);
    QFETCH(int, stored);
    QFETCH(int, offered);
    QFETCH(int, shown);
    QFETCH(double, value);
    QFETCH(QString, text);
    TDisplayConfig cfg = defaults();
    cfg.DigitsIndex = std::uint8_t(digitsIndex);
    cfg.DecimalPoint = std::uint8_t(stored);
    cfg.DisplayValue1 = value;
    auto d = open(cfg);
    auto* combo = child<QComboBox>(d.get(), "ComboBox1");
    QCOMPARE(combo->count(), offered);
    QCOMPARE(combo->currentIndex(), shown);
    QCOMPARE(child<TMaskEdit>(d.get(), "Edit2")->text(), text);
    // Confirming twice changes nothing more than the position, once.
    for (int round = 0; round < 2; ++round) {
        d->storeTo(cfg);
        QCOMPARE(int(cfg.DecimalPoint), shown);
        QCOMPARE(cfg.DisplayValue1, value);
        d.reset();
        d = open(cfg);
    }
}

void TestConfentanalogica::typedValuesAndLimits_data()
{
    QTest::addColumn<int>("digitsIndex");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("stored");
    QTest::newRow("input 12.34") << 2 << 0 << "Edit1" << "12.34" << "012.34" << 12.34;
    QTest::newRow("input 99.99 limited") << 2 << 0 << "Edit1" << "99.99" << "099.99" << 99.9;
    QTest::newRow("input -99.99 limited") << 2 << 0 << "Edit3" << "-99.99" << "-99.99" << -99.9;
    QTest::newRow("input 999.99 limited") << 2 << 0 << "Edit1" << "999.99" << "999.99" << 99.9;
    QTest::newRow("input -5 at 3 digits") << 1 << 0 << "Edit1" << "-5" << "-05.0" << -5.0;
    QTest::newRow("input 0.005 at 6 digits") << 4 << 0 << "Edit3" << "0.005" << "000.005" << 0.005;
    QTest::newRow("display 12.34 at position 2") << 2 << 2 << "Edit2" << "12.34" << "012.34" << 12.34;
    QTest::newRow("display -12.34 at position 2") << 2 << 2 << "Edit4" << "-12.34" << "-12.34" << -12.34;
    QTest::newRow("display 25000 at 5 digits") << 3 << 0 << "Edit2" << "25000" << "025000" << 19999.0;
    QTest::newRow("display 99999 at 6 digits") << 4 << 0 << "Edit2" << "99999" << "099999" << 9999.0;
    QTest::newRow("display -99999 at 6 digits") << 4 << 0 << "Edit4" << "-99999" << "-99999" << -19999.0;
    QTest::newRow("display 0.5 at position 1") << 2 << 1 << "Edit2" << "0.5" << "0000.5" << 0.5;
    QTest::newRow("display 999 at 3 digits") << 1 << 0 << "Edit2" << "999" << "0999" << 999.0;
    QTest::newRow("display 2 digits position 4") << 0 << 4 << "Edit2" << "-.0001" << "-0.0001" << -0.0001;
}

void TestConfentanalogica::typedValuesAndLimits()
{
    QFETCH(int, digitsIndex);
    QFETCH(int, position);
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(double, stored);
    TDisplayConfig cfg = defaults();
    cfg.DigitsIndex = std::uint8_t(digitsIndex);
    cfg.DecimalPoint = std::uint8_t(position);
    cfg.InputValue1 = cfg.InputValue2 = 1.5;
    cfg.DisplayValue1 = cfg.DisplayValue2 = 7;
    auto d = open(cfg);
    auto* edit = child<TMaskEdit>(d.get(), field.toLatin1().constData());
    typeInto(edit, keys);
    QCOMPARE(edit->text(), shown);
    TDisplayConfig out = cfg;
    d->storeTo(out);
    const double value = field == "Edit1"   ? out.InputValue1
                         : field == "Edit3" ? out.InputValue2
                         : field == "Edit2" ? out.DisplayValue1
                                            : out.DisplayValue2;
    QCOMPARE(value, stored);
}

void TestConfentanalogica::offsetTyping_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<double>("stored");
    QTest::newRow("999") << "999" << 99.9;
    QTest::newRow("-5") << "-5" << -5.0;
    QTest::newRow("-99") << "-99" << -99.0;
    QTest::newRow("-999 is refused after -99") << "-999" << -99.0;
    QTest::newRow("a point is refused") << "1.5" << 15.0;
    QTest::newRow("empty") << "" << 0.0;
}

void TestConfentanalogica::offsetTyping()
{
    QFETCH(QString, keys);
    QFETCH(double, stored);
    TDisplayConfig cfg = defaults();
    cfg.InputMode = 1;
    cfg.TempOffset = 12;
    auto d = open(cfg);
    auto* edit = child<TMaskEdit>(d.get(), "Edit5");
    QCOMPARE(edit->text().trimmed(), QString("12"));
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(4, edit->height() / 2));
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, keys);
    d->storeTo(cfg);
    QCOMPARE(cfg.TempOffset, stored);
}

void TestConfentanalogica::offsetShowsWhatIsStored_data()
{
    QTest::addColumn<double>("loaded");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("note"); // empty: no note shown
    QTest::addColumn<double>("stored");
    QTest::newRow("whole") << -5.0 << "-5" << "" << -5.0;
    QTest::newRow("whole, largest") << 99.0 << "99" << "" << 99.0;
    QTest::newRow("tenths kept") << -2.5 << "" << QString::fromUtf8("es manté -2.5") << -2.5;
    QTest::newRow("beyond the limit") << 150.0 << "" << QString::fromUtf8("es manté 99.9") << 99.9;
    QTest::newRow("below the limit") << -99.95 << "" << QString::fromUtf8("es manté -99.9") << -99.9;
    QTest::newRow("not a number") << std::nan("") << "0" << "" << 0.0;
}

// The field shows what Ok stores; tenths it cannot show are kept and said beside it.
void TestConfentanalogica::offsetShowsWhatIsStored()
{
    QFETCH(double, loaded);
    QFETCH(QString, field);
    QFETCH(QString, note);
    QFETCH(double, stored);
    TDisplayConfig cfg = defaults();
    cfg.InputMode = 1;
    cfg.TempOffset = loaded;
    auto d = open(cfg);
    auto* edit = child<TMaskEdit>(d.get(), "Edit5");
    auto* beside = child<QLabel>(d.get(), "OffsetNote");
    QCOMPARE(edit->text().trimmed(), field);
    QCOMPARE(beside->isVisible(), !note.isEmpty());
    if (!note.isEmpty())
        QCOMPARE(beside->text(), note);
    TDisplayConfig out = cfg;
    d->storeTo(out);
    QCOMPARE(out.TempOffset, stored);

    // Retyped, the field's whole degrees count and the note goes.
    typeInto(edit, "7");
    QVERIFY(!beside->isVisible());
    d->storeTo(out);
    QCOMPARE(out.TempOffset, 7.0);
}

void TestConfentanalogica::decimalPointChangeKeepsTheCounts()
{
    TDisplayConfig cfg = defaults();
    cfg.DisplayValue1 = 125;
    cfg.DisplayValue2 = -40;
    auto d = open(cfg);
    auto* edit2 = child<TMaskEdit>(d.get(), "Edit2");
    auto* edit4 = child<TMaskEdit>(d.get(), "Edit4");
    auto* combo = child<QComboBox>(d.get(), "ComboBox1");
    typeInto(edit2, "777");
    QCOMPARE(edit2->text(), QString("00777"));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(edit2->mask(), std::string("!#999.9;0;0"));
    QCOMPARE(edit2->text(), QString("0012.5"));
    QCOMPARE(edit4->text(), QString("-004.0"));
    d->storeTo(cfg);
    QCOMPARE(cfg.DecimalPoint, std::uint8_t(1));
    QCOMPARE(cfg.DisplayValue1, 12.5);
    QCOMPARE(cfg.DisplayValue2, -4.0);

    // Stored at position 1: away and back again shows and stores the same value.
    d.reset();
    d = open(cfg);
    edit2 = child<TMaskEdit>(d.get(), "Edit2");
    combo = child<QComboBox>(d.get(), "ComboBox1");
    QCOMPARE(edit2->text(), QString("0012.5"));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(edit2->text(), QString("001.25"));
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(edit2->text(), QString("0012.5"));
    d->storeTo(cfg);
    QCOMPARE(cfg.DisplayValue1, 12.5);
}

void TestConfentanalogica::modeSwitchEnablesAndKeepsValues()
{
    TDisplayConfig cfg = defaults();
    cfg.InputValue1 = 4;
    cfg.DisplayValue2 = -19;
    cfg.TempOffset = 3;
    auto d = open(cfg);
    auto* mode = child<TRadioGroup>(d.get(), "RadioGroup1");
    clickItem(mode->button(1));
    QCOMPARE(mode->itemIndex(), 1);
    QVERIFY(child<QWidget>(d.get(), "Edit5")->isEnabled());
    QVERIFY(!child<QWidget>(d.get(), "Edit1")->isEnabled());
    QVERIFY(!child<QWidget>(d.get(), "ComboBox1")->isEnabled());
    QVERIFY(child<QWidget>(d.get(), "ComboBox2")->isEnabled());
    clickItem(child<TRadioGroup>(d.get(), "RadioGroup3")->button(1));
    auto* probe = child<QComboBox>(d.get(), "ComboBox2");
    probe->setFocus();
    QTest::keyClick(probe, Qt::Key_Down);
    QTest::keyClick(probe, Qt::Key_Down);
    d->storeTo(cfg);
    QCOMPARE(cfg.InputMode, std::uint8_t(1));
    QCOMPARE(cfg.TempUnits, std::uint8_t(1));
    QCOMPARE(cfg.ProbeType, std::uint8_t(2));
    QCOMPARE(cfg.InputValue1, 4.0);
    QCOMPARE(cfg.DisplayValue2, -19.0);
    QCOMPARE(cfg.TempOffset, 3.0);

    d.reset();

    d = open(cfg);
    mode = child<TRadioGroup>(d.get(), "RadioGroup1");
    QVERIFY(!child<QWidget>(d.get(), "Edit1")->isEnabled());
    clickItem(mode->button(0));
    QVERIFY(child<QWidget>(d.get(), "Edit1")->isEnabled());
    QVERIFY(!child<QWidget>(d.get(), "Edit5")->isEnabled());
}

void TestConfentanalogica::rulesFollowAnyChoice_data()
{
    testsupport::addChooseWayRows();
}

// The mode's rule runs however the mode is chosen, and so does the decimal point's.
void TestConfentanalogica::rulesFollowAnyChoice()
{
    QFETCH(QString, way);
    auto d = open(defaults());
    auto* mode = child<TRadioGroup>(d.get(), "RadioGroup1");
    const char* const process[] = {"RadioGroup2", "GroupBox1", "Edit1", "Edit2", "GroupBox2", "Edit3",
                                   "Edit4", "GroupBox3", "ComboBox1"};
    const char* const temperature[] = {"RadioGroup3", "GroupBox4", "ComboBox2", "RadioGroup4", "GroupBox5",
                                       "Edit5"};
    for (int chosen : {1, 0}) {
        testsupport::choose(mode->button(chosen), way);
        QCOMPARE(mode->itemIndex(), chosen);
        for (const char* name : process)
            QVERIFY2(child<QWidget>(d.get(), name)->isEnabled() == (chosen == 0), name);
        for (const char* name : temperature)
            QVERIFY2(child<QWidget>(d.get(), name)->isEnabled() == (chosen == 1), name);
    }
    child<QComboBox>(d.get(), "ComboBox1")->setCurrentIndex(2);
    QCOMPARE(child<TMaskEdit>(d.get(), "Edit2")->mask(), std::string("!#99.99;0;0"));
    QCOMPARE(child<TMaskEdit>(d.get(), "Edit4")->text(), QString("000.00"));
}

void TestConfentanalogica::unknownModeAndNoSelection()
{
    TDisplayConfig cfg = defaults();
    cfg.InputMode = 7;
    cfg.ProcessInput = 9;
    cfg.ProbeType = 4;
    cfg.TempUnits = 2;
    auto d = open(cfg);
    QCOMPARE(child<TRadioGroup>(d.get(), "RadioGroup1")->itemIndex(), -1);
    QVERIFY(child<QWidget>(d.get(), "Edit1")->isEnabled());
    QVERIFY(child<QWidget>(d.get(), "Edit5")->isEnabled());
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox2")->currentText(), QString());
    d->storeTo(cfg);
    QCOMPARE(cfg.InputMode, std::uint8_t(255));
    QCOMPARE(cfg.ProcessInput, std::uint8_t(255));
    QCOMPARE(cfg.ProbeType, std::uint8_t(255));
    QCOMPARE(cfg.TempUnits, std::uint8_t(255));
    QCOMPARE(cfg.Resolution, std::uint8_t(0));
}

void TestConfentanalogica::threeDigitInputMask()
{
    TDisplayConfig cfg = defaults();
    cfg.DigitsIndex = 1;
    cfg.InputValue1 = -5.5;
    auto d = open(cfg);
    auto* edit = child<TMaskEdit>(d.get(), "Edit1");
    QCOMPARE(edit->mask(), std::string("!#99.9;0;0"));
    QCOMPARE(edit->valueText(), std::string("-055"));
    QCOMPARE(edit->text(), QString("-05.5"));
    QCOMPARE(child<TMaskEdit>(d.get(), "Edit2")->mask(), std::string("!#999;0;0"));
}

void TestConfentanalogica::buttonsAndLists()
{
    auto d = open(defaults());
    QVERIFY(!child<QComboBox>(d.get(), "ComboBox1")->isEditable());
    QVERIFY(!child<QComboBox>(d.get(), "ComboBox2")->isEditable());
    QTest::mouseClick(child<QPushButton>(d.get(), "Button2"), Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Rejected));
    QVERIFY(!d->isVisible());
    d.reset();
    d = open(defaults());
    d->close();
    QCOMPARE(d->result(), int(QDialog::Rejected));
}

void TestConfentanalogica::languages_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("inputCaption");
    QTest::addColumn<QString>("offsetCaption");
    QTest::addColumn<QString>("kept");
    QTest::newRow("Catalan") << 0 << QString::fromUtf8("Configuració entrada analògica")
                             << QString::fromUtf8("Tipus de entrada") << QString::fromUtf8("Offset del termòmetre")
                             << QString::fromUtf8("es manté 1.5");
    QTest::newRow("Spanish") << 1 << QString::fromUtf8("Configuración entrada analógica")
                             << QString::fromUtf8("Tipo de entrada") << QString::fromUtf8("Offset del termometro")
                             << QString::fromUtf8("se mantiene 1.5");
    QTest::newRow("French") << 2 << QString::fromUtf8("Configuration entrée analogique")
                            << QString::fromUtf8("Type d'entrée") << QString::fromUtf8("Offset du thermometre")
                            << QString::fromUtf8("1.5 conservé");
    QTest::newRow("English") << 3 << QString::fromUtf8("Setup analog input") << QString::fromUtf8("Analog input")
                             << QString::fromUtf8("Thermometer offset") << QString::fromUtf8("1.5 kept");
    QTest::newRow("built in") << 9 << QString::fromUtf8("DADiz 1.0 - Configuración entrada analógica")
                              << QString::fromUtf8("Tipo entrada") << QString::fromUtf8("Offset del termómetro")
                              << QString::fromUtf8("se mantiene 1.5");
}

void TestConfentanalogica::languages()
{
    QFETCH(int, language);
    QFETCH(QString, title);
    QFETCH(QString, inputCaption);
    QFETCH(QString, offsetCaption);
    QFETCH(QString, kept);
    TDisplayConfig cfg = defaults();
    cfg.TempOffset = 1.5;
    TForm3 d(nullptr, language);
    d.loadFrom(cfg);
    QCOMPARE(child<QLabel>(&d, "OffsetNote")->text(), kept);
    QCOMPARE(d.windowTitle(), title);
    QCOMPARE(child<TRadioGroup>(&d, "RadioGroup2")->title(), inputCaption);
    QCOMPARE(child<QGroupBox>(&d, "GroupBox5")->title(), offsetCaption);
    QCOMPARE(child<QPushButton>(&d, "Button2")->text(), QString("Cancel"));
}

QTEST_MAIN(TestConfentanalogica)
#include "test_confentanalogica.moc"
