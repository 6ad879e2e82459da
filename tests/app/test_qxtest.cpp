#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <sys/resource.h>

#include "app/DeferredIcons.h"
#include "app/PngIcon.h"
#include "app/Qxtest.h"
#include "config/DisplayConfig.h"
#include "config/RecordCodec.h"
#include "dialogs/Confentanalogica.h"
#include "dialogs/Conflinser.h"
#include "dialogs/Confreles.h"
#include "dialogs/Datoscalibracion.h"
#include "dialogs/Leerparamvis.h"
#include "dialogs/Password.h"
#include "dialogs/Testcom.h"
#include "dialogs/RadioGroup.h"
#include "dialogs/Version.h"
#include "dialogs/Selecidioma.h"
#include "serial/SerialBackend.h"
#include "support/ConfigFields.h"
#include "support/Modal.h"
#include "support/PtyDisplay.h"

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QString text(TForm1& w, const char* name)
{
    if (auto* e = w.findChild<QLineEdit*>(QLatin1String(name)))
        return e->text();
    if (auto* l = w.findChild<QLabel*>(QLatin1String(name)))
        return l->text();
    return QStringLiteral("<no %1>").arg(QLatin1String(name));
}

// Accepts the file dialog that is about to open with the given path.
void chooseFile(const QString& path, QString* suggested = nullptr)
{
    testsupport::whenModal<QFileDialog>([path, suggested](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        if (suggested)
            *suggested = name->text();
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

// Closes the next message box, keeping its texts.
void closeMessage(QString* shown, QString* informative = nullptr)
{
    testsupport::whenModal<QMessageBox>([shown, informative](QMessageBox* box) {
        *shown = box->text();
        if (informative)
            *informative = box->informativeText();
        box->accept();
    });
}

// The system's device layer on a display's pseudo-terminal, with line errors
// the test adds: a pseudo-terminal has no parity or framing to get wrong.
class TNoisyLine : public TSerialBackend {
public:
    TNoisyLine(std::string path, std::shared_ptr<std::atomic<unsigned>> errors)
        : real_(makeSystemSerialBackend()), path_(std::move(path)), errors_(std::move(errors))
    {
    }
    int open(const std::string&) override { return real_->open(path_); }
    void close() override { real_->close(); }
    int applySettings(const TPortSettings& settings, TTermiosRefusal& refusal) override
    {
        return real_->applySettings(settings, refusal);
    }
    int setSoftwareFlowControl(bool on) override { return real_->setSoftwareFlowControl(on); }
    long queuedIn() override { return real_->queuedIn(); }
    long queuedOut() override { return real_->queuedOut(); }
    long read(unsigned char* buf, long count) override { return real_->read(buf, count); }
    long write(const unsigned char* buf, long count, int timeoutMs) override { return real_->write(buf, count, timeoutMs); }
    unsigned takeLineErrors() override { return real_->takeLineErrors() | errors_->exchange(0); }
    int escape(unsigned long function) override { return real_->escape(function); }
    int purge(unsigned long flags) override { return real_->purge(flags); }
    TWaitOutcome waitReceive() override { return real_->waitReceive(); }
    void cancelWait() override { real_->cancelWait(); }

private:
    std::unique_ptr<TSerialBackend> real_;
    std::string path_;
    std::shared_ptr<std::atomic<unsigned>> errors_;
};

} // namespace

class TestQxtest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile::remove(QStringLiteral("Conf.dad"));
    }

    void firstStartIsCatalanWithTheDefaults()
    {
        TForm1 w;
        QCOMPARE(w.windowTitle(), QStringLiteral("DA DIZ 1.1"));
        QCOMPARE(w.LanguageIndex, 0);
        QCOMPARE(w.controls().Archivo1->title(), QStringLiteral("Arxiu"));
        QCOMPARE(w.controls().Abrir1->text(), QStringLiteral("Obrir"));
        QCOMPARE(w.controls().ToolButton6->toolTip(), QStringLiteral("Configurar línia sèrie PC"));
        QCOMPARE(text(w, "StatusBar1"), QStringLiteral("Untitled.txt"));
        QCOMPARE(text(w, "Edit14"), QStringLiteral("   "));
        QCOMPARE(text(w, "Pilot1"), QStringLiteral("OFF"));
        QCOMPARE(text(w, "Pilot2"), QStringLiteral("OFF"));
        QCOMPARE(w.controls().Pilot1->palette().color(QPalette::Window), QColor(0, 255, 0));
        // The serial panel after start-up.
        const char* names[] = {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit13", "Edit15"};
        const char* values[] = {"COM1", "1200", "Par", "1", "7", "00", " 4"};
        for (int i = 0; i < 7; ++i)
            QCOMPARE(text(w, names[i]), QString::fromLatin1(values[i]));
        QCOMPARE(text(w, "Edit6"), QStringLiteral("Procès"));
        QCOMPARE(text(w, "Edit7"), QStringLiteral("Tensió"));
        QCOMPARE(text(w, "Edit17"), QStringLiteral(" "));
        QVERIFY(!w.controls().Edit[16]->isEnabled());
        QCOMPARE(text(w, "Label15"), QStringLiteral("Valor histeresis"));
        QCOMPARE(text(w, "DisparRele1"), QStringLiteral("Activat si valor < nivell dispar"));
        QCOMPARE(text(w, "Edit20"), QStringLiteral("0"));
        QCOMPARE(DisplayConfig.DigitsIndex, 2);
        QCOMPARE(w.size(), QSize(600, 600));
    }

    void dormantCommandsStayDisabledAndTheRestAreEnabled()
    {
        TForm1 w;
        for (QAction* a : {w.controls().Leerparametros1, w.controls().Testcomunicacion1, w.controls().ToolButton3, w.controls().ToolButton14, w.controls().Menuayuda1})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        for (QAction* a : {w.controls().Abrir1, w.controls().Nuevo1, w.controls().Guardar2, w.controls().Guardar1, w.controls().Salir1, w.controls().Lneaserie1, w.controls().Entradaanalogica1,
                 w.controls().Reles1, w.controls().Idioma1, w.controls().Enviar1, w.controls().Recibir1, w.controls().Version1, w.controls().ToolButton1, w.controls().ToolButton4,
                 w.controls().ToolButton13, w.controls().ToolButton6, w.controls().ToolButton8, w.controls().ConfigRele, w.controls().ToolButton10, w.controls().ToolButton11,
                 w.controls().ToolButton7})
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        // Shortcuts as the menus show them, and every command has an icon.
        QCOMPARE(w.controls().Abrir1->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
        QCOMPARE(w.controls().Enviar1->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
        QCOMPARE(w.controls().Version1->shortcut(), QKeySequence(Qt::Key_F12));
        for (QAction* a : w.controls().ToolBar1->actions())
            if (!a->isSeparator() && !a->objectName().isEmpty())
                QVERIFY2(!a->icon().pixmap(20, 20).toImage().isNull(), qPrintable(a->objectName()));
    }

    // The icons read each size when it is first asked for, yet draw, size and
    // list their sizes as an icon of all their files does.
    void iconsDrawAsAllTheirFiles()
    {
        const std::pair<const char*, std::vector<int>> icons[] = {
            {"open", {16, 24, 32, 48}}, {"cat.dadiz.DADiz", {16, 24, 32, 48, 64, 128}}};
        for (const auto& [name, sides] : icons) {
            const QIcon icon = pngIcon(name, sides);
            QIcon files;
            for (int side : sides)
                files.addFile(QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(name)).arg(side), QSize(side, side));
            QCOMPARE(icon.availableSizes(), files.availableSizes());
            QCOMPARE(icon.availableSizes(QIcon::Disabled), files.availableSizes(QIcon::Disabled));
            const QSize asked[] = {{8, 8}, {16, 16}, {20, 20}, {24, 16}, {24, 24}, {40, 40}, {48, 48}, {100, 100},
                {128, 128}, {300, 300}};
            for (const QSize size : asked) {
                const QString where = QStringLiteral("%1 at %2x%3").arg(QLatin1String(name)).arg(size.width()).arg(size.height());
                QCOMPARE(icon.actualSize(size), files.actualSize(size));
                for (const qreal dpr : {1.0, 2.0})
                    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected}) {
                        const QPixmap got = icon.pixmap(size, dpr, mode);
                        QVERIFY2(!got.isNull(), qPrintable(where));
                        QVERIFY2(got.toImage() == files.pixmap(size, dpr, mode).toImage(), qPrintable(where));
                        QCOMPARE(got.devicePixelRatio(), files.pixmap(size, dpr, mode).devicePixelRatio());
                    }
                QImage painted(size, QImage::Format_ARGB32_Premultiplied), expected = painted;
                for (auto [target, drawn] : {std::pair<QImage*, const QIcon*>{&painted, &icon}, {&expected, &files}}) {
                    target->fill(Qt::transparent);
                    QPainter painter(target);
                    drawn->paint(&painter, QRect(QPoint(), size));
                }
                QVERIFY2(painted == expected, qPrintable(where));
            }
        }
    }

    // The extension buttons' icons, made when first used, are the base style's.
    void extensionIconsAreTheBaseStyles()
    {
        TDeferredIconStyle style;
        QStyleOption rightToLeft;
        rightToLeft.direction = Qt::RightToLeft;
        for (const QStyle::StandardPixmap which :
             {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton})
            for (const QStyleOption* option : std::initializer_list<const QStyleOption*>{nullptr, &rightToLeft}) {
                const QIcon icon = style.standardIcon(which, option);
                const QIcon base = style.baseStyle()->standardIcon(which, option);
                QCOMPARE(icon.availableSizes(), base.availableSizes());
                for (const QSize size : {QSize(8, 8), QSize(16, 10), QSize(32, 32)}) {
                    QCOMPARE(icon.actualSize(size), base.actualSize(size));
                    for (const qreal dpr : {1.0, 2.0})
                        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
                            const QImage drawn = icon.pixmap(size, dpr, mode).toImage();
                            QVERIFY(!drawn.isNull());
                            QVERIFY(drawn == base.pixmap(size, dpr, mode).toImage());
                        }
                }
            }
    }

    void toolbarOrderAndHints()
    {
        TForm1 w;
        QStringList order;
        for (QAction* a : w.controls().ToolBar1->actions())
            order << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
        QCOMPARE(order.join(QLatin1Char(' ')).trimmed(),
            QStringLiteral("ToolButton4 ToolButton1 ToolButton13 | ToolButton6 ToolButton8 ConfigRele | "
                           "ToolButton10 ToolButton11 ToolButton3 ToolButton14 | ToolButton7"));
    }

    void languageByteSelectsTheTexts_data()
    {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("update");
        QTest::newRow("Spanish") << QByteArray(1, 1) << "Archivo" << "Actualizar valor";
        QTest::newRow("French") << QByteArray(1, 2) << "Fichier" << "Mettre à jour valeur";
        QTest::newRow("English") << QByteArray(1, 3) << "File" << "Update";
        QTest::newRow("above 3 reads as Catalan") << QByteArray(1, 9) << "Arxiu" << "Actualitzar valor";
        QTest::newRow("empty reads as Catalan") << QByteArray() << "Arxiu" << "Actualitzar valor";
    }
    void languageByteSelectsTheTexts()
    {
        QFETCH(QByteArray, conf);
        QFETCH(QString, file);
        QFETCH(QString, update);
        writeFile(QStringLiteral("Conf.dad"), conf);
        TForm1 w;
        QCOMPARE(w.controls().Archivo1->title(), file);
        QCOMPARE(w.controls().ActuVisu->text(), update);
        QCOMPARE(w.windowTitle(), QStringLiteral("DA DIZ 1.1"));
    }

    void choosingALanguageAppliesItAndSurvivesARestart()
    {
        {
            TForm1 w;
            testsupport::whenModal<TForm10>([](TForm10* d) {
                QCOMPARE(d->itemIndex(), 0);
                QTest::mouseClick(d->Choices[2], Qt::LeftButton);
                QTest::mouseClick(d->Button1, Qt::LeftButton);
            });
            w.SelectIdioma();
            QCOMPARE(readFile(QStringLiteral("Conf.dad")), QByteArray(1, 2));
            QCOMPARE(w.controls().Archivo1->title(), QStringLiteral("Fichier"));
            QCOMPARE(w.controls().ActuVisu->text(), QStringLiteral("Mettre à jour valeur"));
            QCOMPARE(text(w, "DisparRele1"), QStringLiteral("On si valeur < seuil"));

            // Cancel changes neither the file nor the texts.
            testsupport::whenModal<TForm10>([](TForm10* d) {
                QTest::mouseClick(d->Choices[3], Qt::LeftButton);
                QTest::mouseClick(d->Button2, Qt::LeftButton);
            });
            w.SelectIdioma();
            QCOMPARE(readFile(QStringLiteral("Conf.dad")), QByteArray(1, 2));
            QCOMPARE(w.controls().Archivo1->title(), QStringLiteral("Fichier"));
        }
        TForm1 again;
        QCOMPARE(again.LanguageIndex, 2);
        QCOMPARE(again.controls().Archivo1->title(), QStringLiteral("Fichier"));
    }

    void saveOnUntitledGoesThroughSaveAsThenSavesDirectly()
    {
        TForm1 w;
        const QString path = dir.filePath(QStringLiteral("display.cfg"));
        QString suggested;
        chooseFile(path, &suggested);
        w.Guardar2Click();
        QCOMPARE(suggested, QStringLiteral("Untitled.txt"));
        QCOMPARE(CurrentFileName, path);
        QCOMPARE(text(w, "StatusBar1"), path);
        QByteArray expected(88, 0);
        expected[6] = 2;
        QCOMPARE(readFile(path), expected);

        // Now Save writes without asking: no dialog is served here.
        DisplayConfig.Relay1DelayType = '0';
        DisplayConfig.Relay1TriggerLevel = '0';
        w.Guardar2Click();
        const QByteArray saved = readFile(path);
        QCOMPARE(saved.size(), 88);
        QCOMPARE(saved.at(65), '0');
        QCOMPARE(saved.at(66), '0');
    }

    void aFailedSaveShowsTheMessageAndKeepsTheOldFile()
    {
        TForm1 w;
        const QString path = dir.filePath(QStringLiteral("old.cfg"));
        const QByteArray old(88, 0x11);
        writeFile(path, old);
        CurrentFileName = path;

        // The file size limit bites even for root.
        struct rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit tiny = saved;
        tiny.rlim_cur = 10;
        setrlimit(RLIMIT_FSIZE, &tiny);
        QString shown, informative;
        closeMessage(&shown, &informative);
        w.Guardar2Click();
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(shown, QStringLiteral("No guardado-1"));
        QVERIFY2(informative.startsWith(path), qPrintable(informative));
        QCOMPARE(readFile(path), old);
        QCOMPARE(text(w, "StatusBar1"), path);

        // A folder in place of the file.
        const QString folder = dir.filePath(QStringLiteral("adir"));
        QVERIFY(QDir().mkdir(folder));
        CurrentFileName = folder;
        shown.clear();
        closeMessage(&shown, &informative);
        w.Guardar2Click();
        QCOMPARE(shown, QStringLiteral("No guardado-1"));
        QVERIFY(QFileInfo(folder).isDir());
        // No temporary file is left behind.
        const QStringList left = QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
        QVERIFY2(left.filter(QStringLiteral(".tmp-")).isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

    void openingAFileFillsThePanels()
    {
        TDisplayConfig c;
        resetToDefaults(c);
        c.PortIndex = 9;
        c.BaudIndex = 3;
        c.Address = 5;
        c.InputMode = 1;
        c.TempOffset = -2.5;
        c.Relay2Enabled = 1;
        c.Relay2Setpoint = -5;
        const TRecord r = encodeRecord(c);
        const QString path = dir.filePath(QStringLiteral("in.cfg"));
        writeFile(path, QByteArray(reinterpret_cast<const char*>(r.data()), 88) + QByteArray(12, 'x'));

        TForm1 w;
        DisplayConfig.TestValue = 7.5;
        chooseFile(path);
        w.Abrir1Click();
        QCOMPARE(CurrentFileName, path);
        QCOMPARE(text(w, "StatusBar1"), path);
        QCOMPARE(text(w, "Edit1"), QStringLiteral("---"));
        QCOMPARE(text(w, "Edit2"), QStringLiteral("9600"));
        QCOMPARE(text(w, "Edit13"), QStringLiteral("05"));
        QCOMPARE(text(w, "Edit6"), QStringLiteral("Termòmetre"));
        QCOMPARE(text(w, "Edit10"), QStringLiteral("-2.5"));
        QVERIFY(w.controls().Edit[11]->isHidden());
        QVERIFY(!w.controls().Label[12]->isEnabled());
        QCOMPARE(text(w, "Edit19"), QStringLiteral("-0005"));
        QCOMPARE(DisplayConfig.TestValue, 7.5);

        // Back to process mode: the last two rows come back.
        w.Nuevo1Click();
        QVERIFY(!w.controls().Edit[11]->isHidden());
        QVERIFY(w.controls().Label[12]->isEnabled());
        QCOMPARE(text(w, "StatusBar1"), QStringLiteral("Untitled.txt"));
    }

    void aShortFileIsRefusedAndChangesNothing()
    {
        TForm1 w;
        const QString path = dir.filePath(QStringLiteral("short.cfg"));
        writeFile(path, QByteArray(40, 1));
        DisplayConfig.Address = 9;
        chooseFile(path);
        QString shown, informative;
        closeMessage(&shown, &informative);
        w.Abrir1Click();
        QTRY_VERIFY(!shown.isEmpty());
        // The reason is worded in the window's language, Catalan here.
        QVERIFY2(informative.contains(QStringLiteral("més curt que una configuració")), qPrintable(informative));
        QCOMPARE(DisplayConfig.Address, 9);
        QCOMPARE(CurrentFileName, QStringLiteral("Untitled.txt"));
    }

    void openingAMissingNameMakesTheNextSaveCreateIt()
    {
        TForm1 w;
        const QString path = dir.filePath(QStringLiteral("new-one.cfg"));
        DisplayConfig.Address = 12;
        chooseFile(path);
        w.Abrir1Click();
        QCOMPARE(DisplayConfig.Address, 12);
        QCOMPARE(CurrentFileName, path);
        // Said where the technician looks, in the window's language.
        QCOMPARE(text(w, "NoticeLabel"), QStringLiteral("new-one.cfg no existeix: en desar es crearà"));
        w.Guardar2Click();
        QCOMPARE(readFile(path).size(), 88);
        QCOMPARE(readFile(path).at(5), char(12));
    }

    // F2, F3, F4 and F12 open their dialog in the window's language; Ok
    // writes the choices back and the panels show them, Cancel changes nothing.
    void configurationDialogsFromTheMainWindow_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("box");   // a panel control the choice shows in
        QTest::addColumn<QString>("shown"); // its text after Ok
        const auto f2 = int(Qt::Key_F2);
        const auto f3 = int(Qt::Key_F3);
        const auto f4 = int(Qt::Key_F4);
        QTest::newRow("F2 Ok, French") << f2 << 2 << "Configurer afficheur" << true << "Edit13" << "17";
        QTest::newRow("F2 Cancel, French") << f2 << 2 << "Configurer afficheur" << false << "Edit13" << "";
        QTest::newRow("F3 Ok, Spanish") << f3 << 1 << "Configuración entrada analógica" << true << "Edit6"
                                        << "Termómetro";
        QTest::newRow("F3 Cancel, Spanish") << f3 << 1 << "Configuración entrada analógica" << false << "Edit6" << "";
        QTest::newRow("F4 Ok, English") << f4 << 3 << "Setup relay" << true << "DisparRele1" << "On if value > level";
        QTest::newRow("F4 Cancel, English") << f4 << 3 << "Setup relay" << false << "DisparRele1" << "";
        QTest::newRow("F12, Catalan") << int(Qt::Key_F12) << 0 << "Versió" << true << "Edit13" << "00";
    }
    void configurationDialogsFromTheMainWindow()
    {
        QFETCH(int, key);
        QFETCH(int, language);
        QFETCH(QString, title);
        QFETCH(bool, ok);
        QFETCH(QString, box);
        QFETCH(QString, shown);
        TForm1 w;
        w.LanguageIndex = static_cast<std::uint8_t>(language);
        w.applyLanguage();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const TDisplayConfig before = DisplayConfig;
        const QString panelBefore = text(w, qPrintable(box));

        // The same choices in either case; what Ok stores from a new configuration.
        TDisplayConfig stored = before;
        if (key == Qt::Key_F2) {
            stored.Address = 17;
            stored.DigitsIndex = 4;
        } else if (key == Qt::Key_F3) {
            stored.InputMode = 1;
        } else if (key == Qt::Key_F4) {
            stored.Relay1Enabled = 1;
            stored.Relay1DelayType = '1';
            stored.Relay1TriggerLevel = '0';
            stored.Relay2DelayType = '1';
            stored.Relay2TriggerLevel = '1';
        }
        QString opened;
        testsupport::whenModal<QDialog>([&](QDialog* dialog) {
            opened = dialog->windowTitle();
            if (auto* line = qobject_cast<TForm2*>(dialog)) {
                line->ComboBox3->setCurrentIndex(17);
                line->Digits->setCurrentIndex(4);
            } else if (auto* analog = qobject_cast<TForm3*>(dialog)) {
                analog->RadioGroup1->setItemIndex(1);
            } else if (auto* relays = qobject_cast<TForm9*>(dialog)) {
                relays->CheckBox1->click();
            }
            auto* button = dialog->findChild<QPushButton*>(ok ? QStringLiteral("Button1") : QStringLiteral("Button2"));
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
        });
        QTest::keyClick(&w, static_cast<Qt::Key>(key));
        QCOMPARE(opened, title);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QStringList differences;
        for (const std::string& d : testsupport::configDifferences(DisplayConfig, ok ? stored : before))
            differences << QString::fromStdString(d);
        QCOMPARE(differences, QStringList{});
        QCOMPARE(text(w, qPrintable(box)), ok ? shown : panelBefore);
    }

    // A parity or framing error during continuous reading stops the reading
    // and says so; what was read last stays shown.
    void aLineErrorStopsContinuousReading_data()
    {
        QTest::addColumn<unsigned>("error");
        QTest::newRow("parity") << unsigned(CE_RXPARITY);
        QTest::newRow("framing") << unsigned(CE_FRAME);
    }
    void aLineErrorStopsContinuousReading()
    {
        QFETCH(unsigned, error);
        testsupport::PtyDisplay display;
        QVERIFY(display.ok());
        auto errors = std::make_shared<std::atomic<unsigned>>(0u);
        TForm1 w(nullptr, [&] { return std::make_unique<TNoisyLine>(display.path, errors); });
        w.show();
        QStringList values;
        connect(&w, &TForm1::displayReadingShown, &w, [&] { values << w.controls().Edit[14]->text(); });
        testsupport::TMessageWatch messages;
        QTest::mouseClick(w.controls().ActConti, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(values.size() >= 2, 10000);
        QVERIFY(messages.texts.isEmpty());

        *errors = error;
        QTRY_COMPARE_WITH_TIMEOUT(messages.texts, QStringList{QStringLiteral("Read Error")}, 10000);
        QCOMPARE(w.ContinuousReading(), 0);
        QVERIFY(!w.Timer1()->isActive());
        QVERIFY(!w.controls().ActuVisu->isHidden());
        for (QAction* a : {w.controls().ToolButton10, w.controls().ToolButton11, w.controls().Enviar1, w.controls().Recibir1})
            QVERIFY2(a->isVisible(), qPrintable(a->objectName()));
        // The reply read with the error is still taken; nothing is cleared.
        QTRY_COMPARE(w.PendingRequest(), NoRequest);
        QCOMPARE(w.controls().Edit[14]->text(), values.last());
        QVERIFY2(values.last().trimmed().toInt() >= 2, qPrintable(values.join(QLatin1Char('|'))));
        QCOMPARE(w.controls().Pilot1->text(), QStringLiteral("ON"));
        QCOMPARE(w.controls().Shape1->palette().color(QPalette::Window), QColor(255, 0, 0));
        QCOMPARE(w.controls().Pilot2->text(), QStringLiteral("OFF"));
        QCOMPARE(messages.texts.size(), 1);
    }

    void startUpSetsTheTitleWithoutTouchingTheCaption()
    {
        TForm1::startUp(*qApp);
        TForm1* w = Form1;
        QVERIFY(w);
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("QX Test"));
        QCOMPARE(w->windowTitle(), QStringLiteral("DA DIZ 1.1"));
        QVERIFY(w->isVisible());
        // The dialogs made at start-up exist once the window is on screen, hidden, owned by the main window.
        QTRY_VERIFY(Form8);
        const QList<QWidget*> hidden{w->findChild<TForm4*>(), w->findChild<TForm5*>(), w->findChild<TForm6*>(),
            w->findChild<TForm7*>(), Form8};
        for (QWidget* d : hidden) {
            QVERIFY(d);
            QVERIFY(!d->isVisible());
            QCOMPARE(d->parentWidget(), w);
        }
        w->Salir1Click();
        QTRY_VERIFY(Form1 == nullptr);
        QCOMPARE(Form8, nullptr);
    }

private:
    QTemporaryDir dir;
};

int main(int argc, char* argv[])
{
    // The port map is read from a private settings folder, never the user's.
    static QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestQxtest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_qxtest.moc"
