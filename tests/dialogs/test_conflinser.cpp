// The serial line dialog: texts in every language, load and store of the
// seven indexes, typed and clicked input, OK and Cancel, and the COM device map.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

#include "config/DisplayConfig.h"
#include "dialogs/Conflinser.h"
#include "dialogs/TypedChoice.h"
#include "serial/PortMap.h"
#include "support/ConfigCompare.h"
#include "support/Modal.h"

namespace {

struct Captions {
    int language;
    QString caption, label1, label2, label3, label4, parity, stop, data;
    QStringList parityItems, stopItems, dataItems;
};

QList<Captions> allCaptions()
{
    return {
        {0, u"Configurar visualitzador"_qs, u"Ordinador"_qs, u"Velocitat"_qs, u"Adreça del visualitzador"_qs,
         u"Nombre de digits"_qs, u"Paritat"_qs, u"Bits de stop"_qs, u"Bits de dades"_qs,
         {u"Parell"_qs, u"Imparell"_qs, u"Sense paritat"_qs}, {u"1 bits stop"_qs, u"2 bits stop"_qs},
         {u"7 bits de dades"_qs, u"8 bits de dades"_qs}},
        {1, u"Configurar visualizador"_qs, u"Ordenador"_qs, u"Velocidad"_qs, u"Dirección del visualizador"_qs,
         u"Numero de digitos"_qs, u"Paridad"_qs, u"Bits de stop"_qs, u"Bits de datos"_qs,
         {u"Par"_qs, u"Impar"_qs, u"Sin paridad"_qs}, {u"1 bits stop"_qs, u"2 bits stop"_qs},
         {u"7 bits de datos"_qs, u"8 bits de datos"_qs}},
        {2, u"Configurer afficheur"_qs, u"Ordinateur"_qs, u"Vitesse"_qs, u"Adresse du afficheur"_qs,
         u"Nombre de chiffres"_qs, u"Parite"_qs, u"Bits de stop"_qs, u"Bits de donnes"_qs,
         {u"Paire"_qs, u"Impair"_qs, u"Sans parite"_qs}, {u"1 bits stop"_qs, u"2 bits stop"_qs},
         {u"7 bits de donnes"_qs, u"8 bits de donnes"_qs}},
        {3, u"Setup display"_qs, u"PC computer"_qs, u"Baud rate"_qs, u"Display address"_qs, u"Digit number"_qs,
         u"Parity"_qs, u"Stop bits"_qs, u"Data Bits"_qs, {u"Even"_qs, u"Odd"_qs, u"No parity"_qs},
         {u"1 stop bits"_qs, u"2 stop bits"_qs}, {u"7 data bits"_qs, u"8 data bits"_qs}},
        {-1, u"DADiz 1.0 - Configurar visualizador"_qs, u"Ordenador"_qs, u"Velocidad"_qs,
         u"Dirección visualizador"_qs, u"Numero de digitos"_qs, u"Paridad"_qs, u"Bits de stop"_qs,
         u"Bits de datos"_qs, {u"Par"_qs, u"Impar"_qs, u"Sin paridad"_qs},
         {u"1 bit stop"_qs, u"2 bits de stop"_qs}, {u"7 bits de datos"_qs, u"8 bits de datos"_qs}},
    };
}

QStringList buttonTexts(QGroupBox* box)
{
    QStringList out;
    for (auto* b : box->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
        out << b->text();
    return out;
}

QStringList itemsOf(QComboBox* c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

TDisplayConfig lineOf(std::uint8_t port, std::uint8_t baud, std::uint8_t parity, std::uint8_t stop,
                      std::uint8_t data, std::uint8_t address, std::uint8_t digits)
{
    TDisplayConfig c;
    c.PortIndex = port;
    c.BaudIndex = baud;
    c.ParityIndex = parity;
    c.StopBitsIndex = stop;
    c.DataBitsIndex = data;
    c.Address = address;
    c.DigitsIndex = digits;
    return c;
}

QString pressOk(TForm2* dialog, QWidget* enterIn)
{
    return testsupport::messageFrom(dialog->Button1, enterIn);
}

} // namespace

class TestConflinser : public QObject {
    Q_OBJECT
    // The dialog as the main window opens it, in `language`.
    std::unique_ptr<TForm2> open(int language) { return std::make_unique<TForm2>(nullptr, language); }

private slots:
    void textsInEveryLanguage()
    {
        for (const Captions& t : allCaptions()) {
            auto d = open(t.language);
            const QString lang = QString::number(t.language);
            QCOMPARE(d->windowTitle(), t.caption);
            QCOMPARE(d->findChild<QLabel*>(u"Label1"_qs)->text(), t.label1);
            QCOMPARE(d->findChild<QLabel*>(u"Label2"_qs)->text(), t.label2);
            QCOMPARE(d->findChild<QLabel*>(u"Label3"_qs)->text(), t.label3);
            QCOMPARE(d->findChild<QLabel*>(u"Label4"_qs)->text(), t.label4);
            auto* g1 = d->findChild<QGroupBox*>(u"RadioGroup1"_qs);
            auto* g2 = d->findChild<QGroupBox*>(u"RadioGroup2"_qs);
            auto* g3 = d->findChild<QGroupBox*>(u"RadioGroup3"_qs);
            QCOMPARE(g1->title(), t.parity);
            QCOMPARE(g2->title(), t.stop);
            QCOMPARE(g3->title(), t.data);
            QCOMPARE(buttonTexts(g1), t.parityItems);
            QCOMPARE(buttonTexts(g2), t.stopItems);
            QCOMPARE(buttonTexts(g3), t.dataItems);
            QCOMPARE(d->findChild<QPushButton*>(u"Button1"_qs)->text(), u"Ok"_qs);
            QCOMPARE(d->findChild<QPushButton*>(u"Button2"_qs)->text(), u"Cancel"_qs);
        }
    }

    void itemsAndInitialTexts()
    {
        auto d = open(2);
        QCOMPARE(itemsOf(d->findChild<QComboBox*>(u"ComboBox1"_qs)),
                 (QStringList{u"COM 1"_qs, u"COM 2"_qs, u"COM 3"_qs, u"COM 4"_qs, u"COM 5"_qs, u"COM 6"_qs}));
        QCOMPARE(itemsOf(d->findChild<QComboBox*>(u"ComboBox2"_qs)),
                 (QStringList{u"1200"_qs, u"2400"_qs, u"4800"_qs, u"9600"_qs, u"19200"_qs}));
        const QStringList addresses = itemsOf(d->findChild<QComboBox*>(u"ComboBox3"_qs));
        QCOMPARE(addresses.size(), 32);
        QCOMPARE(addresses.first(), u"00"_qs);
        QCOMPARE(addresses.last(), u"31"_qs);
        const QStringList digits = itemsOf(d->findChild<QComboBox*>(u"Digits"_qs));
        QCOMPARE(digits.size(), 9);
        QCOMPARE(digits.first(), u"2"_qs);
        QCOMPARE(digits.last(), u"10"_qs);
        struct { const char16_t* name; const char16_t* initial; } rows[] = {
            {u"ComboBox1", u"Selecionar COM"}, {u"ComboBox2", u"Seleccionar velocidad"},
            {u"ComboBox3", u"Adreça Visu"}, {u"Digits", u"Digits"}};
        for (const auto& row : rows) {
            auto* c = d->findChild<QComboBox*>(QString::fromUtf16(row.name));
            QCOMPARE(c->currentIndex(), -1);
            QCOMPARE(c->lineEdit()->placeholderText(), QString::fromUtf16(row.initial));
        }
    }

    void loadAndStore()
    {
        struct Row { const char* name; TDisplayConfig in; TDisplayConfig out; };
        const Row rows[] = {
            {"defaults", lineOf(0, 0, 0, 0, 0, 0, 2), lineOf(0, 0, 0, 0, 0, 0, 2)},
            {"last items", lineOf(5, 4, 2, 1, 1, 31, 8), lineOf(5, 4, 2, 1, 1, 31, 8)},
            {"nothing selected", lineOf(255, 255, 255, 255, 255, 255, 255),
             lineOf(255, 255, 255, 255, 255, 255, 255)},
            {"beyond the lists", lineOf(6, 5, 3, 2, 2, 32, 9), lineOf(255, 255, 255, 255, 255, 255, 255)},
        };
        for (int language = -1; language <= 3; ++language)
            for (const Row& row : rows) {
                auto d = open(language);
                d->loadFrom(row.in);
                TDisplayConfig got = lineOf(9, 9, 9, 9, 9, 9, 9);
                d->storeTo(got);
                testsupport::verifySameLine(got, row.out);
                if (QTest::currentTestFailed())
                    QFAIL(row.name);
            }
    }

    // A typed text that names an item selects it; one that names none is
    // refused at Ok, which says why and keeps the dialog open.
    void typedTexts_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored"); // -1: refused
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("enter");
        const auto row = [](const char* name, const char* box, const QString& typed, int stored,
                            const QString& shown, bool enter = false) {
            QTest::newRow(name) << QString::fromLatin1(box) << typed << stored << shown << enter;
        };
        row("address 5", "ComboBox3", u"5"_qs, 5, u"05"_qs);
        row("address 05", "ComboBox3", u"05"_qs, 5, u"05"_qs);
        row("address 5, Enter", "ComboBox3", u"5"_qs, 5, u"05"_qs, true);
        row("address 31 with blanks", "ComboBox3", u" 31 "_qs, 31, u"31"_qs);
        row("address 32", "ComboBox3", u"32"_qs, -1, u"32"_qs);
        row("address 99, Enter", "ComboBox3", u"99"_qs, -1, u"99"_qs, true);
        row("address in letters", "ComboBox3", u"abc"_qs, -1, u"abc"_qs);
        row("address emptied", "ComboBox3", QString(), 255, QString());
        row("speed 9600", "ComboBox2", u"9600"_qs, 3, u"9600"_qs);
        row("speed 115200", "ComboBox2", u"115200"_qs, -1, u"115200"_qs);
        row("digits 4", "Digits", u"4"_qs, 2, u"4"_qs);
        row("digits 10", "Digits", u"10"_qs, 8, u"10"_qs);
        row("digits 12", "Digits", u"12"_qs, -1, u"12"_qs);
        row("port com3", "ComboBox1", u"com3"_qs, 2, u"COM 3"_qs);
        row("port COM9", "ComboBox1", u"COM9"_qs, -1, u"COM9"_qs);
    }

    void typedTexts()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        QFETCH(bool, enter);
        const TDisplayConfig loaded = lineOf(0, 1, 2, 0, 1, 7, 1);
        auto d = open(3);
        d->loadFrom(loaded);
        d->show();
        QVERIFY(QTest::qWaitForWindowActive(d.get()));
        auto* combo = d->findChild<QComboBox*>(box);
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(combo->lineEdit(), typed);
        const QString message = pressOk(d.get(), enter ? combo->lineEdit() : nullptr);
        QCOMPARE(combo->currentText(), shown);

        TDisplayConfig cfg = loaded;
        d->storeTo(cfg);
        std::uint8_t& field = box == u"ComboBox1"_qs ? cfg.PortIndex
                              : box == u"ComboBox2"_qs ? cfg.BaudIndex
                              : box == u"ComboBox3"_qs ? cfg.Address
                                                       : cfg.DigitsIndex;
        if (stored >= 0) {
            QCOMPARE(message, QString());
            QCOMPARE(d->result(), int(QDialog::Accepted));
            QVERIFY(!isRefused(combo));
            QCOMPARE(int(field), stored);
            return;
        }
        // Refused: shown as wrong, said at Ok, never stored; the dialog stays.
        QVERIFY(d->isVisible());
        QVERIFY(isRefused(combo));
        QCOMPARE(combo->lineEdit()->palette().color(QPalette::Text), QColor(Qt::red));
        QVERIFY2(message.contains(u'"' + typed + u'"'), qPrintable(message));
        testsupport::verifySameLine(cfg, loaded);
        // Mended, the mark goes and Ok closes.
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), combo->itemText(1));
        QVERIFY(!isRefused(combo));
        QCOMPARE(pressOk(d.get(), nullptr), QString());
        QCOMPARE(d->result(), int(QDialog::Accepted));
        d->storeTo(cfg);
        QCOMPARE(int(field), 1);
    }

    // What Ok says about a refused text, in every language.
    void refusalInEveryLanguage()
    {
        const struct { int language; QString message; } rows[] = {
            {0, u"Adreça del visualitzador: \"99\" no és a la llista (00\u00A0..\u00A031).\n"
                u"Trieu un valor de la llista."_qs},
            {1, u"Dirección del visualizador: \"99\" no está en la lista (00\u00A0..\u00A031).\n"
                u"Elija un valor de la lista."_qs},
            {2, u"Adresse du afficheur : « 99 » n'est pas dans la liste (00\u00A0..\u00A031).\n"
                u"Choisissez une valeur de la liste."_qs},
            {3, u"Display address: \"99\" is not in the list (00\u00A0..\u00A031).\nChoose a value from the list."_qs},
            {-1, u"Velocidad: \"1\" no está en la lista (1200, 2400, 4800, 9600, 19200).\n"
                 u"Dirección visualizador: \"99\" no está en la lista (00\u00A0..\u00A031).\n"
                 u"Elija un valor de la lista."_qs},
        };
        for (const auto& row : rows) {
            auto d = open(row.language);
            d->loadFrom(lineOf(0, 3, 0, 0, 0, 7, 2));
            d->show();
            QVERIFY(QTest::qWaitForWindowActive(d.get()));
            d->ComboBox3->setEditText(u"99"_qs);
            if (row.language < 0)
                d->ComboBox2->setEditText(u"1"_qs);
            QCOMPARE(pressOk(d.get(), nullptr), row.message);
            QVERIFY(d->isVisible());
        }
    }

    // Clicked and typed as a person would, then Ok or Cancel as the main window runs it.
    void okAndCancel()
    {
        for (bool ok : {true, false}) {
            TDisplayConfig cfg = lineOf(0, 3, 2, 0, 1, 7, 2);
            const TDisplayConfig before = cfg;
            auto d = open(0);
            d->loadFrom(cfg);
            d->show();
            QVERIFY(QTest::qWaitForWindowActive(d.get()));
            d->ComboBox2->lineEdit()->selectAll();
            QTest::keyClicks(d->ComboBox2->lineEdit(), u"19200"_qs);
            auto* odd = d->findChild<QRadioButton*>(u"RadioGroup1Item1"_qs);
            QTest::mouseClick(odd, Qt::LeftButton, {}, QPoint(4, odd->height() / 2));
            auto* twoStops = d->findChild<QRadioButton*>(u"RadioGroup2Item1"_qs);
            QTest::mouseClick(twoStops, Qt::LeftButton, {}, QPoint(4, twoStops->height() / 2));
            if (ok)
                QCOMPARE(pressOk(d.get(), nullptr), QString());
            else
                QTest::mouseClick(d->Button2, Qt::LeftButton);
            QCOMPARE(d->result(), ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
            if (d->result() == QDialog::Accepted)
                d->storeTo(cfg);
            testsupport::verifySameLine(cfg, ok ? lineOf(0, 4, 1, 1, 1, 7, 2) : before);
        }
    }

    void radioHelper()
    {
        auto d = open(3);
        auto* g = d->findChild<QGroupBox*>(u"RadioGroup1"_qs);
        for (int i : {0, 2, 1, -1, 3, 1, 200}) {
            setRadioIndex(g, i);
            QCOMPARE(radioIndex(g), i >= 0 && i < 3 ? i : -1);
        }
    }

    void deviceOfTheSelectedPort()
    {
        QCOMPARE(QString::fromStdString(settingsFilePath()), qEnvironmentVariable("XDG_CONFIG_HOME") + u"/DADiz/DADiz.conf"_qs);
        for (int com = 1; com <= 6; ++com)
            setMappedDevice(com, "");
        auto d = open(3);
        auto* device = d->findChild<QComboBox*>(u"PortDevice"_qs);
        QVERIFY(device);
        d->loadFrom(lineOf(1, 3, 0, 0, 0, 0, 0));
        QCOMPARE(device->currentText(), u"/dev/ttyS1"_qs);
        device->lineEdit()->selectAll();
        QTest::keyClicks(device->lineEdit(), u"/dev/ttyUSB7"_qs);
        TDisplayConfig cfg;
        d->storeTo(cfg);
        QCOMPARE(cfg.PortIndex, std::uint8_t(1));
        QCOMPARE(resolvePortPath("COM2"), std::string("/dev/ttyUSB7"));
        QCOMPARE(resolvePortPath("COM1"), std::string("/dev/ttyS0"));

        // Shown again next time; another COM shows its own device.
        auto again = open(1);
        again->loadFrom(cfg);
        auto* device2 = again->findChild<QComboBox*>(u"PortDevice"_qs);
        QCOMPARE(device2->currentText(), u"/dev/ttyUSB7"_qs);
        again->findChild<QComboBox*>(u"ComboBox1"_qs)->setCurrentIndex(3);
        QCOMPARE(device2->currentText(), u"/dev/ttyS3"_qs);
        device2->setEditText(u"ttyACM1"_qs);
        again->storeTo(cfg);
        QCOMPARE(resolvePortPath("COM4"), std::string("/dev/ttyACM1"));
        QCOMPARE(resolvePortPath("COM2"), std::string("/dev/ttyUSB7"));

        // A settings file that cannot take the device: the box says so, the line settings still apply.
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        QTemporaryDir home;
        QVERIFY(home.isValid());
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        QVERIFY(QDir(home.path()).mkdir(u"DADiz"_qs));
        QCOMPARE(::mkfifo(settingsFilePath().c_str(), 0600), 0);
        auto third = open(2);
        third->loadFrom(cfg);
        third->findChild<QComboBox*>(u"PortDevice"_qs)->setEditText(u"/dev/ttyUSB9"_qs);
        third->findChild<QComboBox*>(u"ComboBox2"_qs)->setCurrentIndex(4);
        QString shown;
        testsupport::whenModal<QMessageBox>([&](QMessageBox* box) {
            shown = box->text();
            box->accept();
        });
        third->storeTo(cfg);
        qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(shown, QString::fromStdString("Le périphérique /dev/ttyUSB9 de COM4 n'a pas pu être enregistré dans "
                                               + home.path().toStdString()
                                               + "/DADiz/DADiz.conf : COM4 utilise toujours /dev/ttyS3."));
        QCOMPARE(cfg.BaudIndex, std::uint8_t(4));
    }

    // Every text fits its control in every language.
    void nothingClipped()
    {
        for (int language = -1; language <= 3; ++language) {
            auto d = open(language);
            d->loadFrom(lineOf(0, 3, 0, 0, 0, 7, 2));
            d->show();
            QVERIFY(QTest::qWaitForWindowExposed(d.get()));
            for (auto* w : d->findChildren<QWidget*>()) {
                if (!w->isVisible() || qobject_cast<QLineEdit*>(w))
                    continue;
                if (qobject_cast<QLabel*>(w) || qobject_cast<QRadioButton*>(w) || qobject_cast<QPushButton*>(w))
                    QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
                if (auto* g = qobject_cast<QGroupBox*>(w))
                    QVERIFY2(g->width() >= g->fontMetrics().horizontalAdvance(g->title()) + 8,
                             qPrintable(g->objectName()));
            }
        }
    }
};

int main(int argc, char** argv)
{
    // The port map must never touch the user's own settings file.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestConflinser test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_conflinser.moc"
