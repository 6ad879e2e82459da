#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include "config/DisplayConfig.h"
#include "dialogs/Testcom.h"
#include "support/Child.h"
#include "support/Dialogs.h"

using testsupport::child;
using testsupport::defaults;

class TestTestcom : public QObject {
    Q_OBJECT
private slots:
    void typedValueIsKeptOnExit_data();
    void typedValueIsKeptOnExit();
    void sendDoesNothing();
    void protocolChoice();
    void languages_data();
    void languages();

private:
    std::unique_ptr<TForm6> open(const TDisplayConfig& cfg);
};

std::unique_ptr<TForm6> TestTestcom::open(const TDisplayConfig& cfg)
{
    return testsupport::openLoaded<TForm6>(1, cfg);
}

void TestTestcom::typedValueIsKeptOnExit_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("reopened");
    QTest::newRow("12.5") << "12.5" << 12.5 << "12.5";
    QTest::newRow("letters") << "abc" << 0.0 << "0";
    QTest::newRow("nan is a word") << "nan" << 0.0 << "0";
    QTest::newRow("six characters at most") << "-123.456" << -123.4 << "-123.4";
}

void TestTestcom::typedValueIsKeptOnExit()
{
    QFETCH(QString, keys);
    QFETCH(double, stored);
    QFETCH(QString, reopened);
    TDisplayConfig cfg = defaults();
    cfg.TestValue = 3;
    auto d = open(cfg);
    auto* edit = child<QLineEdit>(d.get(), "Edit1");
    QCOMPARE(edit->text(), QString("3"));
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, keys);
    QTest::mouseClick(child<QPushButton>(d.get(), "Button2"), Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Rejected));
    d->storeTo(cfg);
    QCOMPARE(cfg.TestValue, stored);
    d.reset();
    d = open(cfg);
    QCOMPARE(child<QLineEdit>(d.get(), "Edit1")->text(), reopened);
}

void TestTestcom::sendDoesNothing()
{
    TDisplayConfig cfg = defaults();
    auto d = open(cfg);
    QTest::mouseClick(child<QPushButton>(d.get(), "Button1"), Qt::LeftButton);
    QVERIFY(d->isVisible());
    QCOMPARE(d->result(), 0);
    d->close();
    QCOMPARE(d->result(), int(QDialog::Rejected));
}

void TestTestcom::protocolChoice()
{
    TDisplayConfig cfg = defaults();
    cfg.TestProtocolIndex = 255;
    auto d = open(cfg);
    auto* combo = child<QComboBox>(d.get(), "ComboBox1");
    QVERIFY(!combo->isEditable());
    QCOMPARE(combo->currentIndex(), -1);
    d->storeTo(cfg);
    QCOMPARE(cfg.TestProtocolIndex, std::uint8_t(255));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_End);
    QCOMPARE(combo->currentText(), QString("S7-200 de Siemens"));
    d->storeTo(cfg);
    QCOMPARE(cfg.TestProtocolIndex, std::uint8_t(7));
    d.reset();
    d = open(cfg);
    QCOMPARE(child<QComboBox>(d.get(), "ComboBox1")->currentIndex(), 7);
}

void TestTestcom::languages_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("send");
    QTest::newRow("Catalan") << 0 << QString::fromUtf8("Test de comunicació")
                             << QString::fromUtf8("Escriure el valor numèric que es vol enviar") << "Enviar";
    QTest::newRow("Spanish") << 1 << QString::fromUtf8("Test de comunicación")
                             << QString::fromUtf8("Escribir el valor numerico que se desea enviar") << "Enviar";
    QTest::newRow("French") << 2 << QString::fromUtf8("Test de transmission")
                            << QString::fromUtf8("Écrire le valeur numérique pour envoyer") << "Envoyer";
    QTest::newRow("English") << 3 << QString::fromUtf8("Transmission test")
                             << QString::fromUtf8("Write numerical value to send") << "To send";
    QTest::newRow("built in") << 5 << QString::fromUtf8("DADiz 1.0 - Test de comunicación")
                              << QString::fromUtf8("Escribir el valor numérico que se desea enviar") << "Enviar";
}

void TestTestcom::languages()
{
    QFETCH(int, language);
    QFETCH(QString, title);
    QFETCH(QString, prompt);
    QFETCH(QString, send);
    TForm6 d(nullptr, language);
    QCOMPARE(d.windowTitle(), title);
    QCOMPARE(child<QLabel>(&d, "Label2")->text(), prompt);
    QCOMPARE(child<QPushButton>(&d, "Button1")->text(), send);
}

QTEST_MAIN(TestTestcom)
#include "test_testcom.moc"
