#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QtTest>

#include <memory>

#include "dialogs/Password.h"
#include "support/Child.h"
#include "support/Dialogs.h"

using testsupport::child;

class TestPassword : public QObject {
    Q_OBJECT
private slots:
    void languages_data();
    void languages();
    void fieldTakesEightCharacters_data();
    void fieldTakesEightCharacters();
    void fieldShowsAsterisks();
    void buttons_data();
    void buttons();

private:
    std::unique_ptr<TForm7> open(int language = 1);
};

std::unique_ptr<TForm7> TestPassword::open(int language)
{
    auto dialog = std::make_unique<TForm7>(nullptr, language);
    testsupport::showActive(dialog.get());
    return dialog;
}

void TestPassword::languages_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("texts"); // caption, Label1, Label2, Button1, Button2
    QTest::newRow("Catalan") << 0
                             << QStringList{u"Password"_qs, u"Entrar password per accedir a la finetra"_qs,
                                            u"de calibració de la línia analògica"_qs, u"Acceptar"_qs, u"Salir"_qs};
    QTest::newRow("Spanish") << 1
                             << QStringList{u"Password"_qs, u"Entrar password para acceder a la ventana"_qs,
                                            u"de calibración de la línea analógica"_qs, u"Aceptar"_qs, u"Salir"_qs};
    QTest::newRow("French") << 2
                            << QStringList{u"Mot de passe"_qs, u"Entrée le mot de passe pour accéeder au fenêtre"_qs,
                                           u"de calibration de la entrée analogique"_qs, u"Accepter"_qs,
                                           u"Quitter"_qs};
    QTest::newRow("English") << 3
                             << QStringList{u"Password"_qs, u"Enter password to access window"_qs,
                                            u"setup analog input"_qs, u"Ok"_qs, u"Exit"_qs};
    const QStringList builtIn{u"Password"_qs, u"Entrar password para acceder a la ventana"_qs,
                              u"de calibración de la línea analógica"_qs, u"Aceptar"_qs, u"Salir"_qs};
    QTest::newRow("built-in, 4") << 4 << builtIn;
    QTest::newRow("built-in, -1") << -1 << builtIn;
}

void TestPassword::languages()
{
    QFETCH(int, language);
    QFETCH(QStringList, texts);
    auto d = open(language);
    QCOMPARE(d->windowTitle(), texts[0]);
    QCOMPARE(child<QLabel>(d.get(), "Label1")->text(), texts[1]);
    QCOMPARE(child<QLabel>(d.get(), "Label2")->text(), texts[2]);
    QCOMPARE(child<QPushButton>(d.get(), "Button1")->text(), texts[3]);
    QCOMPARE(child<QPushButton>(d.get(), "Button2")->text(), texts[4]);

    // Prompt on top in two lines, the field below, "accept" left of "exit";
    // every text has the room it needs.
    auto* l1 = child<QLabel>(d.get(), "Label1");
    auto* l2 = child<QLabel>(d.get(), "Label2");
    auto* field = child<QLineEdit>(d.get(), "MaskEdit1");
    auto* ok = child<QPushButton>(d.get(), "Button1");
    auto* exit = child<QPushButton>(d.get(), "Button2");
    QVERIFY(l1->geometry().bottom() < l2->geometry().top());
    QVERIFY(l2->geometry().bottom() < field->geometry().top());
    QVERIFY(field->geometry().bottom() < ok->geometry().top());
    QVERIFY(ok->geometry().right() < exit->geometry().left());
    QVERIFY(qAbs(field->geometry().center().x() - d->rect().center().x()) <= 2);
    for (QWidget* w : std::initializer_list<QWidget*>{l1, l2, ok, exit})
        QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
}

void TestPassword::fieldTakesEightCharacters_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("entered");
    QTest::newRow("the password") << "pomvek" << "pomvek";
    QTest::newRow("capitals kept") << "POMVEK" << "POMVEK";
    QTest::newRow("eight") << "pomvek12" << "pomvek12";
    QTest::newRow("ten cut to eight") << "pomvek1234" << "pomvek12";
}

void TestPassword::fieldTakesEightCharacters()
{
    QFETCH(QString, keys);
    QFETCH(QString, entered);
    auto d = open();
    auto* field = child<QLineEdit>(d.get(), "MaskEdit1");
    QCOMPARE(field->text(), QString());
    QVERIFY(field->hasFocus());
    QTest::keyClicks(field, keys);
    QCOMPARE(d->enteredText(), entered);
    QCOMPARE(field->displayText(), QString(entered.size(), u'*'));
}

void TestPassword::fieldShowsAsterisks()
{
    auto d = open();
    auto* field = child<QLineEdit>(d.get(), "MaskEdit1");
    QCOMPARE(field->echoMode(), QLineEdit::Password);
    QStyleOptionFrame option;
    option.initFrom(field);
    QCOMPARE(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, &option, field), int('*'));

    // The field drawn with "abc" typed looks like a plain field showing "***".
    QTest::keyClicks(field, u"abc"_qs);
    auto* plain = new QLineEdit(d.get());
    plain->setStyleSheet(field->styleSheet());
    plain->setFont(field->font());
    plain->setGeometry(field->geometry());
    plain->setText(u"***"_qs);
    plain->show();
    child<QPushButton>(d.get(), "Button2")->setFocus();
    QTest::qWait(20);
    const QImage masked = field->grab().toImage();
    QCOMPARE(masked, plain->grab().toImage());
    plain->setText(u"abc"_qs);
    QVERIFY(masked != plain->grab().toImage());
}

void TestPassword::buttons_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("accept") << "Button1" << int(QDialog::Accepted);
    QTest::newRow("exit") << "Button2" << int(QDialog::Rejected);
    QTest::newRow("enter") << "Enter" << int(QDialog::Accepted);
    QTest::newRow("escape") << "Escape" << int(QDialog::Rejected);
}

void TestPassword::buttons()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    auto d = open();
    auto* field = child<QLineEdit>(d.get(), "MaskEdit1");
    QTest::keyClicks(field, u"pomvek"_qs);
    if (how == u"Enter"_qs || how == u"Escape"_qs)
        QTest::keyClick(field, how == u"Enter"_qs ? Qt::Key_Return : Qt::Key_Escape);
    else
        QTest::mouseClick(child<QPushButton>(d.get(), how.toLatin1().constData()), Qt::LeftButton);
    QVERIFY(!d->isVisible());
    QCOMPARE(d->result(), result);
    QCOMPARE(d->enteredText(), u"pomvek"_qs);
}

QTEST_MAIN(TestPassword)
#include "test_password.moc"
