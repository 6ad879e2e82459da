#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>
#include <QTest>

#include <memory>

#include "dialogs/Selecidioma.h"
#include "support/Child.h"

using testsupport::child;

// A language index outside the four languages.
constexpr int kNoLanguage = -1;

class TestSelecIdioma : public QObject {
    Q_OBJECT

private slots:
    void textsPerLanguage_data();
    void textsPerLanguage();
    void layoutKeepsEveryTextVisible_data();
    void layoutKeepsEveryTextVisible();
    void flagBesideEachChoice();
    void selection();
    void buttonsCloseTheDialog_data();
    void buttonsCloseTheDialog();
    void pictureRenders_data();
    void pictureRenders();
    void flagPicturesAreTheirSvg();

private:
    std::unique_ptr<TForm10> openDialog(int languageIndex);
};

std::unique_ptr<TForm10> TestSelecIdioma::openDialog(int languageIndex)
{
    return std::make_unique<TForm10>(nullptr, languageIndex);
}

static QRadioButton* choice(QWidget* w, int i)
{
    return child<QRadioButton>(w, QStringLiteral("SelecIdioma%1").arg(i));
}

static QLabel* image(QWidget* w, int i)
{
    return child<QLabel>(w, QStringLiteral("Image%1").arg(i + 1));
}

void TestSelecIdioma::textsPerLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("choices");

    const QStringList builtIn{"Catala", "Castella", "Frances", "Angles"};
    QTest::newRow("Catalan") << 0 << "Idioma" << "Seleccionar idioma"
                             << QStringList{QString::fromUtf8("Català"), QString::fromUtf8("Castellà"),
                                            QString::fromUtf8("Francès"), "Angles"};
    QTest::newRow("Spanish") << 1 << "Idioma" << "Seleccionar idioma"
                             << QStringList{"Catalan", "Castellano", "Frances", "Ingles"};
    QTest::newRow("French") << 2 << "Langue" << "Choisir langue"
                            << QStringList{"Catalan", "Espagnol", QString::fromUtf8("Français"), "Anglais"};
    QTest::newRow("English") << 3 << "Language" << "Select language"
                             << QStringList{"Catalan", "Spanish", "French", "English"};
    QTest::newRow("index 4 keeps built-in") << 4 << "Idioma" << "Seleccionar idioma" << builtIn;
    QTest::newRow("index 200 keeps built-in") << 200 << "Idioma" << "Seleccionar idioma" << builtIn;
    QTest::newRow("outside the four languages") << kNoLanguage << "Idioma" << "Seleccionar idioma" << builtIn;
}

void TestSelecIdioma::textsPerLanguage()
{
    QFETCH(int, language);
    QFETCH(QString, caption);
    QFETCH(QString, group);
    QFETCH(QStringList, choices);

    auto dialog = openDialog(language);
    QCOMPARE(dialog->windowTitle(), caption);
    QCOMPARE(child<QGroupBox>(dialog.get(), "SelecIdioma")->title(), group);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(choice(dialog.get(), i)->text(), choices[i]);
    // The buttons speak English whatever the language.
    QCOMPARE(child<QPushButton>(dialog.get(), "Button1")->text(), QString("OK"));
    QCOMPARE(child<QPushButton>(dialog.get(), "Button2")->text(), QString("Cancel"));
}

void TestSelecIdioma::layoutKeepsEveryTextVisible_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("Catalan") << 0;
    QTest::newRow("Spanish") << 1;
    QTest::newRow("French") << 2;
    QTest::newRow("English") << 3;
    QTest::newRow("built-in") << kNoLanguage;
}

void TestSelecIdioma::layoutKeepsEveryTextVisible()
{
    QFETCH(int, language);
    auto dialog = openDialog(language);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QCOMPARE(dialog->size(), QSize(277, 466));

    auto* group = child<QGroupBox>(dialog.get(), "SelecIdioma");
    QVERIFY(dialog->rect().contains(group->geometry()));
    QVERIFY(group->width() >= group->fontMetrics().horizontalAdvance(group->title()) + 20);
    for (int i = 0; i < 4; ++i) {
        QRadioButton* c = choice(dialog.get(), i);
        QVERIFY2(c->width() >= c->sizeHint().width(), qPrintable(c->text()));
        QVERIFY(group->rect().contains(c->geometry()));
        QVERIFY(!c->geometry().intersects(image(dialog.get(), i)->geometry()));
    }
    for (const char* name : {"Button1", "Button2"}) {
        auto* b = child<QPushButton>(dialog.get(), name);
        QVERIFY(dialog->rect().contains(b->geometry()));
        QVERIFY(!b->geometry().intersects(group->geometry()));
    }
}

void TestSelecIdioma::flagBesideEachChoice()
{
    auto dialog = openDialog(1);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));

    // A colour in the upper band and one in the middle of each flag, so a swapped picture shows.
    struct Flag {
        QColor top;
        QColor centre;
    };
    const Flag flags[4] = {
        {QColor(0xFC, 0xDD, 0x09), QColor(0xFC, 0xDD, 0x09)}, // Catalonia: gold outer stripes
        {QColor(0xAA, 0x15, 0x1B), QColor(0xF1, 0xBF, 0x00)}, // Spain: red over yellow
        {QColor(0xFF, 0xFF, 0xFF), QColor(0xFF, 0xFF, 0xFF)}, // France: white middle band
        {QColor(0xC8, 0x10, 0x2E), QColor(0xC8, 0x10, 0x2E)}, // United Kingdom: red cross
    };
    for (int i = 0; i < 4; ++i) {
        QLabel* img = image(dialog.get(), i);
        QCOMPARE(img->size(), QSize(100, 60));
        const QImage picture = img->pixmap().toImage();
        const qreal dpr = picture.devicePixelRatio();
        QCOMPARE(picture.size(), QSize(100, 60) * dpr);
        QCOMPARE(picture.pixelColor(QPoint(50, 2) * dpr), flags[i].top);
        QCOMPARE(picture.pixelColor(QPoint(50, 30) * dpr), flags[i].centre);

        // The picture sits on the same row as its choice.
        const QRect choiceRect = choice(dialog.get(), i)->geometry();
        QVERIFY(img->geometry().top() <= choiceRect.center().y());
        QVERIFY(img->geometry().bottom() >= choiceRect.center().y());
    }
    // Tell the four apart where plain colour could match: Catalonia has red stripes, France a blue
    // hoist, the United Kingdom a blue corner.
    QCOMPARE(image(dialog.get(), 0)->pixmap().toImage().pixelColor(50, 10), QColor(0xDA, 0x12, 0x1A));
    QCOMPARE(image(dialog.get(), 2)->pixmap().toImage().pixelColor(10, 30), QColor(0x00, 0x23, 0x95));
    QCOMPARE(image(dialog.get(), 3)->pixmap().toImage().pixelColor(25, 5), QColor(0x01, 0x21, 0x69));
}

void TestSelecIdioma::selection()
{
    auto dialog = openDialog(0);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    auto* ok = child<QPushButton>(dialog.get(), "Button1");

    // Nothing chosen yet: OK cannot confirm a language that does not exist.
    QCOMPARE(dialog->itemIndex(), -1);
    QVERIFY(!ok->isEnabled());

    for (int i : {2, 0, 3, 1}) {
        dialog->setItemIndex(i);
        QCOMPARE(dialog->itemIndex(), i);
        for (int j = 0; j < 4; ++j)
            QCOMPARE(choice(dialog.get(), j)->isChecked(), j == i);
        QVERIFY(ok->isEnabled());
    }

    // A click on a choice selects it and only it.
    QTest::mouseClick(choice(dialog.get(), 3), Qt::LeftButton);
    QCOMPARE(dialog->itemIndex(), 3);
    QVERIFY(!choice(dialog.get(), 1)->isChecked());

    // Arrow keys move the selection as in any radio group.
    choice(dialog.get(), 3)->setFocus();
    QTest::keyClick(choice(dialog.get(), 3), Qt::Key_Up);
    QCOMPARE(dialog->itemIndex(), 2);

    for (int outside : {-1, 4, 255}) {
        dialog->setItemIndex(1);
        dialog->setItemIndex(outside);
        QCOMPARE(dialog->itemIndex(), -1);
        for (int j = 0; j < 4; ++j)
            QVERIFY(!choice(dialog.get(), j)->isChecked());
        QVERIFY(!ok->isEnabled());
    }
}

void TestSelecIdioma::buttonsCloseTheDialog_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << "Button1" << int(QDialog::Accepted);
    QTest::newRow("Cancel") << "Button2" << int(QDialog::Rejected);
}

void TestSelecIdioma::buttonsCloseTheDialog()
{
    QFETCH(QString, button);
    QFETCH(int, result);
    auto dialog = openDialog(3);
    dialog->setItemIndex(2);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QTest::mouseClick(child<QPushButton>(dialog.get(), button), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), result);
    QCOMPARE(dialog->itemIndex(), 2);
}

void TestSelecIdioma::pictureRenders_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const char* name : {"open", "new", "save", "exit", "serial", "analog", "relays", "send", "receive",
                             "params", "test", "language", "version", "help"})
        QTest::newRow(name) << QStringLiteral(":/resources/icons/%1.svg").arg(QLatin1String(name)) << QSize(24, 24);
    for (const char* name : {"catalonia", "spain", "france", "uk"})
        QTest::newRow(name) << QStringLiteral(":/resources/flags/%1.svg").arg(QLatin1String(name)) << QSize(100, 60);
}

void TestSelecIdioma::pictureRenders()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    // The SVG module warns about anything it cannot draw.
    QTest::failOnWarning(QRegularExpression(".*"));
    QSvgRenderer renderer(path);
    QVERIFY2(renderer.isValid(), qPrintable(path));
    QCOMPARE(renderer.viewBoxF(), QRectF(QPointF(0, 0), QSizeF(size)));

    // Small as on a toolbar, so the test also sees what a person sees at 16 pixels.
    for (const QSize target : {size, size * 16 / size.height()}) {
        QImage img(target, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter painter(&img);
        renderer.render(&painter);
        painter.end();

        QSet<QRgb> opaqueColours;
        int covered = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb px = img.pixel(x, y);
                if (qAlpha(px) > 0)
                    ++covered;
                if (qAlpha(px) == 255)
                    opaqueColours.insert(px);
            }
        QVERIFY2(opaqueColours.size() >= 3, qPrintable(path));
        QVERIFY2(covered >= img.width() * img.height() / 3, qPrintable(path));
    }
}

// The flags the dialog shows are drawn from their SVG at build time, at 1x and 2x.
void TestSelecIdioma::flagPicturesAreTheirSvg()
{
    for (const char* name : {"catalonia", "spain", "france", "uk"}) {
        QSvgRenderer renderer(QStringLiteral(":/resources/flags/%1.svg").arg(QLatin1String(name)));
        for (const QSize size : {QSize(100, 60), QSize(200, 120)}) {
            const QString png =
                QStringLiteral(":/flags/%1-%2x%3.png").arg(QLatin1String(name)).arg(size.width()).arg(size.height());
            const QImage picture = QImage(png).convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QCOMPARE(picture.size(), size);
            QImage drawn(size, QImage::Format_ARGB32_Premultiplied);
            drawn.fill(Qt::transparent);
            QPainter painter(&drawn);
            renderer.render(&painter);
            painter.end();
            QVERIFY2(picture == drawn, qPrintable(png));
        }
    }
}

QTEST_MAIN(TestSelecIdioma)
#include "test_selecidioma.moc"
