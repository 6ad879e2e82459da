#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

#include "config/DisplayConfig.h"
#include "dialogs/Leerparamvis.h"
#include "dialogs/RadioGroup.h"
#include "dialogs/TypedChoice.h"
#include "support/Child.h"
#include "support/Dialogs.h"
#include "support/Modal.h"

using testsupport::child;
using testsupport::defaults;

namespace {

void clickAtLeft(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
}

} // namespace

class TestLeerparamvis : public QObject {
    Q_OBJECT
private slots:
    void displayBoxAfterNew();
    void displayParametersShown();
    void acceptStoresTheLine();
    void exitAndReadChangeNothing();
    void typedPortAndSpeed_data();
    void typedPortAndSpeed();
    void listsAreTheDesignedOnes();
    void languages_data();
    void languages();

private:
    std::unique_ptr<TForm5> open(const TDisplayConfig& cfg);
};

std::unique_ptr<TForm5> TestLeerparamvis::open(const TDisplayConfig& cfg)
{
    return testsupport::openLoaded<TForm5>(1, cfg);
}

void TestLeerparamvis::displayBoxAfterNew()
{
    auto d = open(defaults());
    QVERIFY(!child<QWidget>(d.get(), "GroupBox2")->isEnabled());
    for (const char* name : {"ComboBox3", "ComboBox4", "ComboBox5", "ComboBox6", "ComboBox7", "ComboBox8",
                             "ComboBox9", "ComboBox10"})
        QCOMPARE(child<QComboBox>(d.get(), name)->currentText(), QString("---"));
    for (const char* name : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6"})
        QCOMPARE(child<QLineEdit>(d.get(), name)->text(), QString());
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox1")->currentText(), QString("COM 1"));
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox2")->currentText(), QString("1200"));
    QCOMPARE(child<TRadioGroup>(d.get(), "RadioGroup1")->itemIndex(), 0);
}

void TestLeerparamvis::displayParametersShown()
{
    TDisplayConfig cfg = defaults();
    cfg.DisplayParams.ParamAddress = '7';
    cfg.DisplayParams.ParamProtocol = 8;
    cfg.DisplayParams.ParamBaud = 1;
    cfg.DisplayParams.ParamTimeout = 22;
    cfg.DisplayParams.ParamLineType = 9;
    cfg.DisplayParams.ParamA = 'x';
    auto d = open(cfg);
    QCOMPARE(child<QLineEdit>(d.get(), "Edit1")->text(), QString("7"));
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox8")->currentText(), QString("S7-200 de Siemens"));
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox3")->currentText(), QString("1200"));
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox10")->currentText(), QString("25 horas"));
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox9")->currentIndex(), -1);
    QCOMPARE(child<QLineEdit>(d.get(), "Edit6")->text(), QString("x"));
}

void TestLeerparamvis::acceptStoresTheLine()
{
    TDisplayConfig cfg = defaults();
    auto d = open(cfg);
    auto* port = child<QComboBox>(d.get(), "ComboBox1");
    port->setFocus();
    QTest::keyClick(port, Qt::Key_Down);
    QTest::keyClick(port, Qt::Key_Down);
    auto* baud = child<QComboBox>(d.get(), "ComboBox2");
    baud->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(baud, Qt::Key_Down);
    QCOMPARE(port->currentText(), QString("COM 3"));
    QCOMPARE(baud->currentText(), QString("9600"));
    clickAtLeft(child<TRadioGroup>(d.get(), "RadioGroup1")->button(1));
    clickAtLeft(child<TRadioGroup>(d.get(), "RadioGroup2")->button(1));
    clickAtLeft(child<TRadioGroup>(d.get(), "RadioGroup3")->button(1));
    QTest::mouseClick(child<QPushButton>(d.get(), "Button3"), Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Accepted));
    d->storeTo(cfg);
    QCOMPARE(cfg.PortIndex, std::uint8_t(2));
    QCOMPARE(cfg.BaudIndex, std::uint8_t(3));
    QCOMPARE(cfg.ParityIndex, std::uint8_t(1));
    QCOMPARE(cfg.StopBitsIndex, std::uint8_t(1));
    QCOMPARE(cfg.DataBitsIndex, std::uint8_t(1));

    // A port outside the list from a file opens with none chosen and stores 255.
    cfg.PortIndex = 9;
    d.reset();
    d = open(cfg);
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox1")->currentIndex(), -1);
    d->storeTo(cfg);
    QCOMPARE(cfg.PortIndex, std::uint8_t(255));
    QCOMPARE(cfg.BaudIndex, std::uint8_t(3));
}

void TestLeerparamvis::exitAndReadChangeNothing()
{
    auto d = open(defaults());
    auto* read = child<QPushButton>(d.get(), "Button1");
    QTest::mouseClick(read, Qt::LeftButton);
    QVERIFY(d->isVisible());
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox3")->currentText(), QString("---"));
    QTest::mouseClick(child<QPushButton>(d.get(), "Button2"), Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Rejected));
    d.reset();
    d = open(defaults());
    d->close();
    QCOMPARE(d->result(), int(QDialog::Rejected));
}

void TestLeerparamvis::typedPortAndSpeed_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<int>("portIndex"); // -1: refused
    QTest::addColumn<int>("baudIndex");
    QTest::newRow("COM 4 and 9600") << "COM 4" << "9600" << 3 << 3;
    QTest::newRow("com4 and 02400") << "com4" << "02400" << 3 << 1;
    QTest::newRow("speed 57600 refused") << "COM 2" << "57600" << 1 << -1;
    QTest::newRow("port COM7 refused") << "COM7" << "1200" << -1 << 0;
}

void TestLeerparamvis::typedPortAndSpeed()
{
    QFETCH(QString, port);
    QFETCH(QString, speed);
    QFETCH(int, portIndex);
    QFETCH(int, baudIndex);
    TDisplayConfig cfg = defaults();
    cfg.PortIndex = 5;
    cfg.BaudIndex = 4;
    auto d = open(cfg);
    for (auto [name, text] : {std::pair{"ComboBox1", port}, std::pair{"ComboBox2", speed}}) {
        auto* box = child<QComboBox>(d.get(), name);
        box->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
    }
    const QString message = testsupport::messageFrom(child<QPushButton>(d.get(), "Button3"));
    d->storeTo(cfg);
    if (portIndex >= 0 && baudIndex >= 0) {
        QCOMPARE(message, QString());
        QCOMPARE(d->result(), int(QDialog::Accepted));
    } else {
        // Said at "Aceptar" in the dialog's language; the dialog stays and nothing refused is stored.
        QVERIFY2(message.contains(u"no está en la lista"_qs), qPrintable(message));
        QVERIFY(d->isVisible());
        QVERIFY(isRefused(child<QComboBox>(d.get(), portIndex < 0 ? "ComboBox1" : "ComboBox2")));
    }
    QCOMPARE(int(cfg.PortIndex), portIndex >= 0 ? portIndex : 5);
    QCOMPARE(int(cfg.BaudIndex), baudIndex >= 0 ? baudIndex : 4);
}

void TestLeerparamvis::listsAreTheDesignedOnes()
{
    auto d = open(defaults());
    const auto items = [&](const char* name) {
        QStringList out;
        auto* box = child<QComboBox>(d.get(), name);
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    };
    QCOMPARE(items("ComboBox4"), QStringList({"---", "Par", "Impar", "Sin paridad"}));
    QCOMPARE(items("ComboBox5"), QStringList({"---", "1 bit de stop", "2 bits de stop"}));
    QCOMPARE(items("ComboBox7"), QStringList({"---", "RS-232", "RS-485"}));
    QCOMPARE(items("ComboBox8").size(), 9);
    QCOMPARE(items("ComboBox10").size(), 23);
    // The PC's port and speed take typing; the display's lists only show.
    QVERIFY(child<QComboBox>(d.get(), "ComboBox1")->isEditable());
    QVERIFY(child<QComboBox>(d.get(), "ComboBox2")->isEditable());
    QVERIFY(!child<QComboBox>(d.get(), "ComboBox3")->isEditable());
}

void TestLeerparamvis::languages_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("odd");
    QTest::addColumn<QString>("accept");
    QTest::newRow("Catalan") << 0 << QString::fromUtf8("Llegir paràmetros visualitzador") << "Imparell" << "Acceptar";
    QTest::newRow("Spanish") << 1 << QString::fromUtf8("Leer parametros visualizador") << "Impar" << "Aceptar";
    QTest::newRow("French") << 2 << QString::fromUtf8("Lire paramètres afficheur") << "Impair" << "Accepter";
    QTest::newRow("English") << 3 << QString::fromUtf8("Display parameters") << "Odd" << "Ok";
    QTest::newRow("built in") << 4 << QString::fromUtf8("Leer parametros visualizador") << "Impar" << "Aceptar";
}

void TestLeerparamvis::languages()
{
    QFETCH(int, language);
    QFETCH(QString, title);
    QFETCH(QString, odd);
    QFETCH(QString, accept);
    TForm5 d(nullptr, language);
    QCOMPARE(d.windowTitle(), title);
    QCOMPARE(child<TRadioGroup>(&d, "RadioGroup1")->button(1)->text(), odd);
    QCOMPARE(child<QPushButton>(&d, "Button3")->text(), accept);
    QCOMPARE(child<QGroupBox>(&d, "GroupBox8")->title(), QString("Param. 6, 7, 8, 9 y A:"));
}

QTEST_MAIN(TestLeerparamvis)
#include "test_leerparamvis.moc"
