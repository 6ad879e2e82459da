#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "dialogs/Version.h"
#include "support/Child.h"

using testsupport::child;

// A language index outside the four languages.
constexpr int kNoLanguage = -1;

class TestVersion : public QObject {
    Q_OBJECT

private slots:
    void textsPerLanguage_data();
    void textsPerLanguage();
    void layoutAndLook_data();
    void layoutAndLook();
    void okClosesWithAccepted();

private:
    // Builds the dialog as the version command does, in the given language.
    std::unique_ptr<TForm4> openDialog(int languageIndex);
};

std::unique_ptr<TForm4> TestVersion::openDialog(int languageIndex)
{
    return std::make_unique<TForm4>(nullptr, languageIndex);
}

void TestVersion::textsPerLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("series");
    QTest::addColumn<QString>("version");

    const QString spanishDescription = QString::fromUtf8("Programa parametrización visualizadores de las");
    const QString spanishSeries = QString::fromUtf8("series de visualizadores con entrada analógica");
    QTest::newRow("Catalan") << 0 << QString::fromUtf8("Versió")
                             << QString::fromUtf8("Programa parametrització visualitzadors de les")
                             << QString::fromUtf8("sèries de visualitzadors amb entrada analògica")
                             << QString::fromUtf8("Versió: 1.1");
    QTest::newRow("Spanish") << 1 << QString::fromUtf8("Versión") << spanishDescription << spanishSeries
                             << QString::fromUtf8("Versión: 1.1");
    QTest::newRow("French") << 2 << "Version"
                            << QString::fromUtf8("Logiciel pour paramétrisser des afficheurs de las")
                            << QString::fromUtf8("séries d'afficheurs à entrée analogique") << "Version: 1.1";
    QTest::newRow("English") << 3 << "Version" << "Software for setting display parameters "
                             << "of the display series with analog input" << "Version: 1.1";
    QTest::newRow("index 4 keeps built-in") << 4 << QString::fromUtf8("Versión") << spanishDescription
                                            << spanishSeries << QString::fromUtf8("Versión: 1.1");
    QTest::newRow("index 255 keeps built-in") << 255 << QString::fromUtf8("Versión") << spanishDescription
                                              << spanishSeries << QString::fromUtf8("Versión: 1.1");
    QTest::newRow("outside the four languages") << kNoLanguage << QString::fromUtf8("Versión") << spanishDescription
                                    << spanishSeries << QString::fromUtf8("Versión: 1.1");
}

void TestVersion::textsPerLanguage()
{
    QFETCH(int, language);
    QFETCH(QString, caption);
    QFETCH(QString, description);
    QFETCH(QString, series);
    QFETCH(QString, version);

    auto dialog = openDialog(language);
    QCOMPARE(dialog->windowTitle(), caption);
    QCOMPARE(child<QLabel>(dialog.get(), "Label1")->text(), description);
    QCOMPARE(child<QLabel>(dialog.get(), "Label5")->text(), series);
    QCOMPARE(child<QLabel>(dialog.get(), "Label3")->text(), version);
    // The same in every language.
    QCOMPARE(child<QLabel>(dialog.get(), "Label2")->text(), QString("DADiz"));
    QCOMPARE(child<QLabel>(dialog.get(), "Label4")->text(), QString("17/11/2011"));
    QCOMPARE(child<QPushButton>(dialog.get(), "Button1")->text(), QString("Ok"));
}

void TestVersion::layoutAndLook_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("Catalan") << 0;
    QTest::newRow("Spanish") << 1;
    QTest::newRow("French") << 2;
    QTest::newRow("English") << 3;
}

void TestVersion::layoutAndLook()
{
    QFETCH(int, language);
    auto dialog = openDialog(language);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));

    QCOMPARE(dialog->size(), QSize(361, 206));
    QCOMPARE(dialog->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(dialog->autoFillBackground());

    struct Expected {
        const char* name;
        QPoint topLeft;
        int pixelSize;
        bool italic;
        QColor colour;
    };
    const QColor windowText = dialog->palette().color(QPalette::WindowText);
    const Expected labels[] = {
        {"Label1", {24, 8}, 13, false, QColor(0x00, 0x80, 0x80)},
        {"Label5", {24, 24}, 13, false, QColor(0x00, 0x80, 0x80)},
        {"Label2", {24, 48}, 21, false, QColor(0xFF, 0x00, 0xFF)},
        {"Label3", {120, 48}, 19, true, QColor(0x00, 0x80, 0x00)},
        {"Label4", {72, 88}, 13, false, windowText},
    };
    const QRect client = dialog->rect();
    for (const Expected& e : labels) {
        QLabel* label = child<QLabel>(dialog.get(), e.name);
        QVERIFY2(label, e.name);
        QCOMPARE(label->pos(), e.topLeft);
        QCOMPARE(label->font().pixelSize(), e.pixelSize);
        QVERIFY2(label->font().bold(), e.name);
        QCOMPARE(label->font().italic(), e.italic);
        const QString family = QFontInfo(label->font()).family();
        QVERIFY2(family == "Arial" || family == "Liberation Sans", qPrintable(family));
        QCOMPARE(label->palette().color(QPalette::WindowText), e.colour);
        // The whole text is visible: the label is as wide as its text and lies inside the window.
        QVERIFY2(label->width() >= label->sizeHint().width(), e.name);
        QVERIFY2(client.contains(label->geometry()), qPrintable(label->text()));
    }

    QPushButton* ok = child<QPushButton>(dialog.get(), "Button1");
    QCOMPARE(ok->geometry(), QRect(40, 112, 153, 41));
    QCOMPARE(ok->font().pixelSize(), 21);
    QVERIFY(ok->font().bold());
    QCOMPARE(ok->palette().color(QPalette::ButtonText), QColor(Qt::black));

    // The description, the series line and the version line must not run into each other.
    QLabel* label1 = child<QLabel>(dialog.get(), "Label1");
    QLabel* label5 = child<QLabel>(dialog.get(), "Label5");
    QLabel* label2 = child<QLabel>(dialog.get(), "Label2");
    QLabel* label3 = child<QLabel>(dialog.get(), "Label3");
    QVERIFY(label1->geometry().bottom() <= label5->geometry().top() + 1);
    QVERIFY(!label5->geometry().intersects(label2->geometry()));
    QVERIFY(!label2->geometry().intersects(label3->geometry()));
}

void TestVersion::okClosesWithAccepted()
{
    auto dialog = openDialog(3);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QTest::mouseClick(child<QPushButton>(dialog.get(), "Button1"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestVersion)
#include "test_version.moc"
