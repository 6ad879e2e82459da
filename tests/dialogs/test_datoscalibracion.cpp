#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/Qxtest.h"
#include "dialogs/Password.h"
#include "config/DisplayConfig.h"
#include "base/UniqueFd.h"
#include "dialogs/Datoscalibracion.h"
#include "serial/PortMap.h"
#include "serial/Zcomm.h"
#include "support/Child.h"
#include "support/Dialogs.h"
#include "support/MainWindowHome.h"
#include "support/Modal.h"

using testsupport::child;

namespace {

// The value characters of items 1 to 17: blanks and signs are shown as they come.
const std::array<std::string, 17> kValues = {
    "+1234", "-1234", " 0012", "+0020", "00100", "66666", "77777", "-0.5 ", "12345",
    "  125", "-0001", "99999", " +7.2", "00000", "-9999", "1.234", "  -12",
};
// The box of item n (1..18): items 6 and 7 go to the boxes 7 and 6.
int boxOf(int item) { return item == 6 ? 7 : item == 7 ? 6 : item; }

// A 'C' reply from address "31"; `wrongCode` (1..18, 0 none) spoils one item
// code, `lastItem` cuts the payload after that item.
std::vector<std::uint8_t> calibrationReply(int wrongCode = 0, int lastItem = 18)
{
    std::string r = "@31RC";
    for (int n = 1; n <= lastItem; ++n) {
        r += char('1' + (n - 1) % 9);
        r += n == wrongCode ? 'X' : n <= 9 ? 'C' : 'D';
        r += n <= 17 ? kValues[n - 1] : "0253?"; // offset 130 is not read
    }
    r += '\r';
    return {r.begin(), r.end()};
}

QString expectedText(int item)
{
    return item == 18 ? QStringLiteral("025.3") : QString::fromLatin1(kValues[item - 1]);
}

// Both ends of a pseudo-terminal; the program opens the slave through its path.
struct Pty {
    UniqueFd master;
    QString slavePath;
    Pty()
    {
        UniqueFd m(posix_openpt(O_RDWR | O_NOCTTY));
        if (!m || grantpt(m.get()) != 0 || unlockpt(m.get()) != 0)
            return;
        if (const char* name = ptsname(m.get())) {
            slavePath = QString::fromLocal8Bit(name);
            master = std::move(m);
        }
    }
    // What the program has written, waiting up to `ms` for `count` bytes.
    QByteArray read(int count, int ms) const
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < count && t.elapsed() < ms) {
            pollfd p{master.get(), POLLIN, 0};
            if (::poll(&p, 1, 50) == 1 && (p.revents & POLLIN)) {
                char buf[64];
                const ssize_t n = ::read(master.get(), buf, sizeof buf);
                if (n > 0)
                    got.append(buf, n);
            }
        }
        return got;
    }
    bool write(const std::vector<std::uint8_t>& bytes) const
    {
        return ::write(master.get(), bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }
};

} // namespace

class TestDatoscalibracion : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void languages_data();
    void languages();
    void readAsksTheOwner();
    void arrangement_data();
    void arrangement();
    void reply_data();
    void reply();
    void replyAfterCloseIsDropped();
    void readWithoutPort();
    void readSendsRequestAndFillsBoxes();

private:
    std::unique_ptr<TForm8> open(std::function<void()> read = {});
    QLineEdit* box(QWidget* dialog, int n) { return child<QLineEdit>(dialog, QStringLiteral("Edit%1").arg(n)); }
    // The screen as Alt+F1 and the password open it from the main window; `action`
    // runs while it is up and ends by closing it.
    void onCalibrationScreen(std::function<void(TForm8*)> action);

    testsupport::MainWindowHome main_;
    std::unique_ptr<Pty> pty_;
};

void TestDatoscalibracion::cleanup()
{
    // The port goes before the pseudo-terminal, or its loss would be reported.
    if (main_->PendingRequest() != NoRequest)
        main_->Link()->closePort();
    pty_.reset();
    setMappedDevice(1, "/nonexistent/tty");
    DisplayConfig.Address = 0;
    Form8 = nullptr;
}

std::unique_ptr<TForm8> TestDatoscalibracion::open(std::function<void()> read)
{
    auto dialog = std::make_unique<TForm8>(nullptr, 1, std::move(read));
    testsupport::showActive(dialog.get());
    return dialog;
}

void TestDatoscalibracion::onCalibrationScreen(std::function<void(TForm8*)> action)
{
    bool shown = false;
    testsupport::whenModal<TForm7>([&](TForm7* password) {
        QTest::keyClicks(password->MaskEdit1, u"pomvek"_qs);
        testsupport::whenModal<TForm8>([&](TForm8* screen) {
            shown = true;
            action(screen);
            screen->reject();
        });
        QTest::mouseClick(password->Button1, Qt::LeftButton);
    });
    main_->FormKeyDown(Qt::Key_F1, Qt::AltModifier);
    QVERIFY(shown);
    QCOMPARE(Form8, nullptr);
}

void TestDatoscalibracion::languages_data()
{
    // Caption, GroupBox1, GroupBox2, Button2, Button1, then Label1 .. Label18.
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("texts");
    const QStringList spanish = {
        u"Datos calibración"_qs, u"Datos proceso"_qs, u"Datos termómetro"_qs, u"Leer"_qs, u"Salir"_qs,
        u"Tensión -10V"_qs, u"Tensión +10V"_qs, u"Corriente -20mA"_qs, u"Corriente +20mA"_qs, u"Termopar"_qs,
        u"Termopar T"_qs, u"PT100"_qs, u"Termopar J-K"_qs, u"Temp. 0°. Resolución 1°"_qs, u"CANAL 1"_qs,
        u"CANAL 2"_qs, u"Temp. 0°. Resolución 0.1°"_qs, u"Temp. 300°. Resolución 1°"_qs,
        u"Temp. 300°. Resolución 0.1°"_qs, u"Tensión 0V"_qs, u"Tensión 20mV"_qs, u"Tensión diodo"_qs,
        u"Temperatura diodo"_qs};
    QTest::newRow("Catalan") << 0
        << QStringList{u"Dades calibració"_qs, u"Dades procés"_qs, u"Dades termòmetre"_qs, u"Llegir"_qs,
                       u"Sortir"_qs, u"Tensió -10V"_qs, u"Tensió +10V"_qs, u"Corrent -20mA"_qs,
                       u"Corrent +20mA"_qs, u"Termoparell"_qs, u"Termoparell T"_qs, u"PT100"_qs,
                       u"Termoparell J-K"_qs, u"Temp. 0°. Resolució 1°"_qs, u"CANAL 1"_qs, u"CANAL 2"_qs,
                       u"Temp. 0°. Resolució 0.1°"_qs, u"Temp. 300°. Resolució 1°"_qs,
                       u"Temp. 300°. Resolució 0.1°"_qs, u"Tensió 0V"_qs, u"Tensió 20mV"_qs, u"Tensió diode"_qs,
                       u"Temperatura diode"_qs};
    QTest::newRow("Spanish") << 1 << spanish;
    QTest::newRow("French") << 2
        << QStringList{u"Donnes calibration"_qs, u"Donnes process"_qs, u"Donnes thermometre"_qs, u"Lire"_qs,
                       u"Quitter"_qs, u"Tension -10V"_qs, u"Tensionó +10V"_qs, u"Courant -20mA"_qs,
                       u"Courant +20mA"_qs, u"Thermocouple"_qs, u"Thermocouple T"_qs, u"PT100"_qs,
                       u"Thermocouple J-K"_qs, u"Temp. 0°. Résolution 1°"_qs, u"CANAL 1"_qs, u"CANAL 2"_qs,
                       u"Temp. 0°. Résolution 0.1°"_qs, u"Temp. 300°. Résolution 1°"_qs,
                       u"Temp. 300°. Résolution 0.1°"_qs, u"Tension 0V"_qs, u"Tension 20mV"_qs,
                       u"Tension diode"_qs, u"Température diode"_qs};
    QTest::newRow("English") << 3
        << QStringList{u"Calibration data "_qs, u"Process data"_qs, u"Themometer data"_qs, u"Read"_qs,
                       u"Exit"_qs, u"Voltage -10V"_qs, u"Voltage +10V"_qs, u"Current -20mA"_qs,
                       u"Current +20mA"_qs, u"Termocouple"_qs, u"Termocouple T"_qs, u"PT100"_qs,
                       u"Termocouple J-K"_qs, u"Temp. 0°. Resolution 1°"_qs, u"CHANEL 1"_qs, u"CHANEL 2"_qs,
                       u"Temp. 0°. Resolution 0.1°"_qs, u"Temp. 300°. Resolution 1°"_qs,
                       u"Temp. 300°. Resolution 0.1°"_qs, u"Voltage 0V"_qs, u"Voltage 20mV"_qs,
                       u"Diode voltage"_qs, u"Diode temperature"_qs};
    QTest::newRow("built-in, 200") << 200 << spanish;
    QTest::newRow("built-in, -1") << -1 << spanish;
}

void TestDatoscalibracion::languages()
{
    QFETCH(int, language);
    QFETCH(QStringList, texts);
    TForm8 d(nullptr, language, {});
    QCOMPARE(d.windowTitle(), texts[0]);
    QCOMPARE(child<QGroupBox>(&d, u"GroupBox1"_qs)->title(), texts[1]);
    QCOMPARE(child<QGroupBox>(&d, u"GroupBox2"_qs)->title(), texts[2]);
    QCOMPARE(child<QPushButton>(&d, u"Button2"_qs)->text(), texts[3]);
    QCOMPARE(child<QPushButton>(&d, u"Button1"_qs)->text(), texts[4]);
    for (int n = 1; n <= 18; ++n)
        QCOMPARE(child<QLabel>(&d, QStringLiteral("Label%1").arg(n))->text(), texts[4 + n]);
}

// "Leer" asks the owner once a press; the screen itself sends nothing.
void TestDatoscalibracion::readAsksTheOwner()
{
    int asked = 0;
    auto d = open([&] { ++asked; });
    auto* read = child<QPushButton>(d.get(), u"Button2"_qs);
    QTest::mouseClick(read, Qt::LeftButton);
    QTest::mouseClick(read, Qt::LeftButton);
    QCOMPARE(asked, 2);
    QVERIFY(d->isVisible());
    QTest::mouseClick(child<QPushButton>(d.get(), u"Button1"_qs), Qt::LeftButton);
    QCOMPARE(asked, 2);
    QCOMPARE(d->result(), int(QDialog::Rejected));

    auto quiet = open();
    QTest::mouseClick(child<QPushButton>(quiet.get(), u"Button2"_qs), Qt::LeftButton);
    QVERIFY(quiet->isVisible());
}

void TestDatoscalibracion::arrangement_data()
{
    QTest::addColumn<int>("language");
    for (int language = 0; language < 4; ++language)
        QTest::newRow(QByteArray::number(language).constData()) << language;
}

// The places of the controls, and every text with the room it needs.
void TestDatoscalibracion::arrangement()
{
    QFETCH(int, language);
    auto d = std::make_unique<TForm8>(nullptr, language, std::function<void()>());
    testsupport::showActive(d.get());
    const auto at = [&](const char* name) {
        QWidget* w = child<QWidget>(d.get(), QString::fromLatin1(name));
        return QRect(w->mapTo(d.get(), QPoint(0, 0)), w->size());
    };
    QVERIFY(at("GroupBox1").bottom() < at("GroupBox2").top());
    QVERIFY(at("GroupBox2").bottom() < at("Button2").top());
    QVERIFY(at("Button2").right() < at("Button1").left());
    // Process: voltage rows left, current rows right.
    QVERIFY(at("Edit1").right() < at("Label3").left());
    QVERIFY(at("Edit1").bottom() < at("Edit2").top());
    QVERIFY(at("Edit3").bottom() < at("Edit4").top());
    QCOMPARE(at("Edit1").top(), at("Edit3").top());
    // Thermometer: PT100 above thermocouple, headings above their columns.
    const int pt100Rows[] = {9, 12, 13, 14};
    const int tcRows[] = {15, 16, 17, 18};
    QVERIFY(at("Label7").bottom() < at("Label9").top());
    QVERIFY(at("Label14").bottom() < at("Label5").top());
    QVERIFY(at("Label5").bottom() < at("Label15").top());
    for (int i = 0; i < 3; ++i) {
        QVERIFY(at(qPrintable(u"Label%1"_qs.arg(pt100Rows[i]))).bottom() < at(qPrintable(u"Label%1"_qs.arg(pt100Rows[i + 1]))).top());
        QVERIFY(at(qPrintable(u"Label%1"_qs.arg(tcRows[i]))).bottom() < at(qPrintable(u"Label%1"_qs.arg(tcRows[i + 1]))).top());
    }
    const std::pair<const char*, const char*> columns[] = {
        {"Label10", "Edit5"}, {"Label10", "Edit6"}, {"Label10", "Edit9"}, {"Label10", "Edit11"},
        {"Label11", "Edit7"}, {"Label11", "Edit8"}, {"Label11", "Edit10"}, {"Label11", "Edit12"},
        {"Label8", "Edit13"}, {"Label8", "Edit15"}, {"Label8", "Edit17"}, {"Label8", "Edit18"},
        {"Label6", "Edit14"}, {"Label6", "Edit16"}};
    for (const auto& [heading, edit] : columns) {
        QVERIFY2(at(heading).bottom() < at(edit).top(), edit);
        QVERIFY2(qAbs(at(heading).center().x() - at(edit).center().x()) <= 2, edit);
    }
    QVERIFY(at("Label9").right() < at("Edit5").left());
    QVERIFY(at("Edit5").right() < at("Edit7").left());
    QCOMPARE(at("Label9").center().y(), at("Edit5").center().y());

    // Nothing cut: labels, buttons and box titles get their natural width,
    // and no two controls in the same box overlap.
    for (auto* w : d->findChildren<QWidget*>()) {
        if (!w->isVisible())
            continue;
        if (qobject_cast<QLabel*>(w) || qobject_cast<QPushButton*>(w))
            QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
        if (auto* g = qobject_cast<QGroupBox*>(w))
            QVERIFY2(g->width() >= QFontMetrics(g->font()).horizontalAdvance(g->title()) + 16,
                     qPrintable(g->objectName()));
        for (auto* other : w->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (other != w && other->isVisible() && !other->objectName().isEmpty() && !w->objectName().isEmpty())
                QVERIFY2(!w->geometry().intersects(other->geometry()),
                         qPrintable(w->objectName() + u" / "_qs + other->objectName()));
    }
    for (int n = 1; n <= 18; ++n)
        QVERIFY(box(d.get(), n)->isReadOnly());
}

void TestDatoscalibracion::reply_data()
{
    QTest::addColumn<int>("wrongCode");
    QTest::addColumn<int>("lastItem");
    QTest::addColumn<QList<int>>("unchangedBoxes");
    QTest::newRow("all items") << 0 << 18 << QList<int>{};
    QTest::newRow("item 3 wrong") << 3 << 18 << QList<int>{3};
    QTest::newRow("item 6 wrong") << 6 << 18 << QList<int>{7};
    QTest::newRow("item 7 wrong") << 7 << 18 << QList<int>{6};
    QTest::newRow("item 18 wrong") << 18 << 18 << QList<int>{18};
    QTest::newRow("short reply") << 0 << 2 << QList<int>{3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
}

void TestDatoscalibracion::reply()
{
    QFETCH(int, wrongCode);
    QFETCH(int, lastItem);
    QFETCH(QList<int>, unchangedBoxes);
    auto d = open();
    d->setAllBoxes(u"keep"_qs);
    Form8 = d.get();
    RebreCalib(calibrationReply(wrongCode, lastItem));
    for (int item = 1; item <= 18; ++item) {
        const int n = boxOf(item);
        const QString expected = unchangedBoxes.contains(n) ? u"keep"_qs : expectedText(item);
        QCOMPARE(box(d.get(), n)->text(), expected);
    }
}

void TestDatoscalibracion::replyAfterCloseIsDropped()
{
    auto d = open();
    d->setAllBoxes(u"0"_qs);
    QTest::mouseClick(child<QPushButton>(d.get(), u"Button1"_qs), Qt::LeftButton);
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), int(QDialog::Rejected));
    Form8 = nullptr;
    RebreCalib(calibrationReply());
    for (int n = 1; n <= 18; ++n)
        QCOMPARE(box(d.get(), n)->text(), u"0"_qs);
}

void TestDatoscalibracion::readWithoutPort()
{
    setMappedDevice(1, "/nonexistent/tty");
    DisplayConfig.PortIndex = 0;
    QString firstBefore, shown;
    QStringList boxesWhileShown, boxesAfter;
    onCalibrationScreen([&](TForm8* screen) {
        RebreCalib(calibrationReply());
        firstBefore = box(screen, 1)->text();
        testsupport::whenModal<QMessageBox>([&](QMessageBox* message) {
            shown = message->text();
            for (int n = 1; n <= 18; ++n)
                boxesWhileShown << box(screen, n)->text();
            message->accept();
        });
        QTest::mouseClick(child<QPushButton>(screen, u"Button2"_qs), Qt::LeftButton);
        for (int n = 1; n <= 18; ++n)
            boxesAfter << box(screen, n)->text();
        // Nothing was sent, so nothing is awaited.
        QCOMPARE(main_->PendingRequest(), std::uint8_t(NoRequest));
    });
    QCOMPARE(firstBefore, expectedText(1));
    QCOMPARE(shown, u"NO PUEDO ABRIR EL PUERTO"_qs);
    // The boxes turn to "0" only after the message has been closed.
    QCOMPARE(boxesWhileShown.value(0), expectedText(1));
    QCOMPARE(boxesAfter, QStringList(18, u"0"_qs));
}

void TestDatoscalibracion::readSendsRequestAndFillsBoxes()
{
    pty_ = std::make_unique<Pty>();
    const Pty& pty = *pty_;
    QVERIFY(pty.master.valid());
    setMappedDevice(1, pty.slavePath.toStdString());
    DisplayConfig.PortIndex = 0;
    DisplayConfig.Address = 31;
    QByteArray sent;
    std::uint8_t pendingAfterSend = NoRequest;
    std::uint8_t pendingAfterReply = CalibrationRequest;
    QStringList boxes;
    onCalibrationScreen([&](TForm8* screen) {
        QTest::mouseClick(child<QPushButton>(screen, u"Button2"_qs), Qt::LeftButton);
        sent = pty.read(5, 3000);
        pendingAfterSend = main_->PendingRequest();
        // The display's answer goes through the main window into the boxes. It
        // arrives in one burst, as a USB adapter hands it over: longer than one
        // notification's read, so the rest must still be collected.
        if (!pty.write(calibrationReply()))
            return;
        if (!QTest::qWaitFor([&] { return box(screen, 18)->text() == u"025.3"_qs; }, 3000))
            return;
        for (int item = 1; item <= 18; ++item)
            boxes << box(screen, boxOf(item))->text();
        pendingAfterReply = main_->PendingRequest();
    });
    QCOMPARE(sent, QByteArray("@31C\r"));
    QCOMPARE(pendingAfterSend, std::uint8_t(CalibrationRequest));
    QCOMPARE(boxes.size(), 18);
    for (int item = 1; item <= 18; ++item)
        QCOMPARE(boxes[item - 1], expectedText(item));
    QCOMPARE(pendingAfterReply, std::uint8_t(NoRequest));
}

int main(int argc, char** argv)
{
    // The port map lives in a private settings folder, never the user's own;
    // COM1 starts out mapped to a device that does not exist.
    QTemporaryDir config;
    if (!config.isValid() || !QDir(config.path()).mkpath(u"DADiz"_qs))
        return 1;
    QFile conf(config.filePath(u"DADiz/DADiz.conf"_qs));
    if (!conf.open(QIODevice::WriteOnly) || conf.write("[Ports]\nCOM1=/nonexistent/tty\n") < 0)
        return 1;
    conf.close();
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    TestDatoscalibracion test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_datoscalibracion.moc"
