#include <QApplication>
#include <QClipboard>
#include <QtTest>

#include "dialogs/MaskEdit.h"

class TestMaskEdit : public QObject {
    Q_OBJECT
private slots:
    void parsesMasks();
    void placesValueTexts_data();
    void placesValueTexts();
    void placesTypedNumbers_data();
    void placesTypedNumbers();
    void readsCounts_data();
    void readsCounts();
    void countTextsSaturate_data();
    void countTextsSaturate();
    void typingGivesTheWrittenNumber_data();
    void typingGivesTheWrittenNumber();
    void refusedKeysLeaveTheField();
    void backspaceDeleteAndPaste();
    void clickSelectsEverything();
    void newMaskKeepsTheDigits();
};

void TestMaskEdit::parsesMasks()
{
    const TFieldMask m = parseFieldMask("!#99.99;0;0");
    QVERIFY(m.rightAligned);
    QCOMPARE(m.positions, std::string("#99.99"));
    QVERIFY(!m.pointInValue);
    QCOMPARE(m.blank, '0');
    QCOMPARE(m.slotCount(), 5);
    QCOMPARE(m.integerSlots(), 3);
    QCOMPARE(m.fractionSlots(), 2);
    QVERIFY(m.signAllowed());

    const TFieldMask offset = parseFieldMask("#99;0; ");
    QVERIFY(!offset.rightAligned);
    QCOMPARE(offset.blank, ' ');
    QVERIFY(!offset.hasPoint());
    QCOMPARE(offset.integerSlots(), 3);

    const TFieldMask delay = parseFieldMask("999;0;0");
    QVERIFY(!delay.signAllowed());

    const TFieldMask literal = parseFieldMask("!#9.9;1;_");
    QVERIFY(literal.pointInValue);
    QCOMPARE(literal.blank, '_');
}

void TestMaskEdit::placesValueTexts_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("valueText");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("value");
    QTest::newRow("full width") << "!#99.99;0;0" << "01234" << "012.34" << "01234";
    QTest::newRow("negative") << "!#99.9;0;0" << "-055" << "-05.5" << "-055";
    QTest::newRow("short, right-aligned") << "!#9999;0;0" << "12" << "00012" << "   12";
    QTest::newRow("short, left-aligned") << "#99;0; " << "-5" << "-5 " << "-5 ";
    QTest::newRow("too long, right-aligned keeps the right") << "!#999;0;0" << "123456" << "3456" << "3456";
    QTest::newRow("too long, left-aligned keeps the left") << "999;0;0" << "12345" << "123" << "123";
    QTest::newRow("sign only where admitted") << "!#999;0;0" << "1-23" << "1023" << "1 23";
    QTest::newRow("letters become unfilled") << "999;0;0" << "a1b" << "010" << " 1 ";
    QTest::newRow("point in the value text") << "!#9.9;1;0" << "-1.5" << "-1.5" << "-1.5";
}

void TestMaskEdit::placesValueTexts()
{
    QFETCH(QString, mask);
    QFETCH(QString, valueText);
    QFETCH(QString, shown);
    QFETCH(QString, value);
    const TFieldMask m = parseFieldMask(mask.toStdString());
    const std::string cells = placeValueText(m, valueText.toStdString());
    QCOMPARE(QString::fromStdString(renderMasked(m, cells)), shown);
    QCOMPARE(QString::fromStdString(valueTextOf(m, cells)), value);
}

void TestMaskEdit::placesTypedNumbers_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QString>("value");
    QTest::newRow("decimals") << "!#99.99;0;0" << "12.34" << true << " 1234";
    QTest::newRow("fewer decimals") << "!#99.99;0;0" << "12.3" << true << " 123 ";
    QTest::newRow("no integer part") << "!#99.99;0;0" << ".5" << true << "   5 ";
    QTest::newRow("comma as point") << "!#99.99;0;0" << "0,5" << true << "  05 ";
    QTest::newRow("negative") << "!#99.99;0;0" << "-12.34" << true << "-1234";
    QTest::newRow("sign fills with zeros") << "!#99.99;0;0" << "-5" << true << "-05  ";
    QTest::newRow("sign alone") << "!#99.99;0;0" << "-" << true << "-00  ";
    QTest::newRow("digit in the sign position") << "!#99.99;0;0" << "999.99" << true << "99999";
    QTest::newRow("too many integer digits") << "!#99.99;0;0" << "1000" << false << "";
    QTest::newRow("negative too long") << "!#99.99;0;0" << "-100" << false << "";
    QTest::newRow("too many decimals") << "!#99.99;0;0" << "1.234" << false << "";
    QTest::newRow("extra zeros are dropped") << "!#99.99;0;0" << "0012.340" << true << "01234";
    QTest::newRow("shown form reads back") << "!#99.99;0;0" << "012.34" << true << "01234";
    QTest::newRow("two points") << "!#99.99;0;0" << "1.2.3" << false << "";
    QTest::newRow("sign after a digit") << "!#99.99;0;0" << "1-2" << false << "";
    QTest::newRow("letter") << "!#99.99;0;0" << "1a" << false << "";
    QTest::newRow("inner blank") << "!#99.99;0;0" << "1 2" << false << "";
    QTest::newRow("empty") << "!#99.99;0;0" << "" << true << "     ";
    QTest::newRow("no point in the mask") << "#99;0; " << "1.5" << false << "";
    QTest::newRow("offset 999") << "#99;0; " << "999" << true << "999";
    QTest::newRow("offset -5") << "#99;0; " << "-5" << true << "-05";
    QTest::newRow("offset drawn with blanks") << "#99;0; " << "  5" << true << "  5";
    QTest::newRow("no sign in a digit mask") << "999;0;0" << "-5" << false << "";
    QTest::newRow("delay") << "999;0;0" << "42" << true << " 42";
}

void TestMaskEdit::placesTypedNumbers()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(bool, fits);
    QFETCH(QString, value);
    const auto cells = placeTypedNumber(parseFieldMask(mask.toStdString()), typed.toStdString());
    QCOMPARE(cells.has_value(), fits);
    if (fits)
        QCOMPARE(QString::fromStdString(*cells), value);
}

void TestMaskEdit::readsCounts_data()
{
    QTest::addColumn<QString>("valueText");
    QTest::addColumn<int>("count");
    QTest::newRow("digits") << "01234" << 1234;
    QTest::newRow("blanks are zeros") << " 123 " << 1230;
    QTest::newRow("sign and blanks") << "-05  " << -500;
    QTest::newRow("sign alone") << "-    " << 0;
    QTest::newRow("plus") << "+0012" << 12;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("all blank") << "      " << 0;
    QTest::newRow("six positions") << "-99999" << -99999;
    QTest::newRow("only the first six blanks count") << "123456 7" << 123456;
}

void TestMaskEdit::readsCounts()
{
    QFETCH(QString, valueText);
    QFETCH(int, count);
    QCOMPARE(countOfValueText(valueText.toStdString()), count);
}

void TestMaskEdit::countTextsSaturate_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << 12.34 << 2 << 5 << "01234";
    QTest::newRow("negative") << -5.5 << 1 << 4 << "-055";
    QTest::newRow("largest") << 99999.0 << 0 << 5 << "99999";
    QTest::newRow("too large") << 100000.0 << 0 << 5 << "99999";
    QTest::newRow("smallest") << -9999.0 << 0 << 5 << "-9999";
    QTest::newRow("too small") << -1e300 << 4 << 6 << "-99999";
    QTest::newRow("not a number") << std::nan("") << 2 << 4 << "0000";
    QTest::newRow("exact decimal rounding") << 0.285 << 3 << 6 << "000285";
    QTest::newRow("negative zero") << -0.001 << 2 << 5 << "00000";
}

void TestMaskEdit::countTextsSaturate()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(int, width);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(digitclass::scaledCountText(value, decimals, width)), text);
}

void TestMaskEdit::typingGivesTheWrittenNumber_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("count");
    QTest::newRow("12.34") << "!#99.99;0;0" << "12.34" << "012.34" << 1234;
    QTest::newRow("-5") << "!#99.99;0;0" << "-5" << "-05.00" << -500;
    QTest::newRow("999") << "!#99.99;0;0" << "999" << "999.00" << 99900;
    QTest::newRow("0.5") << "!#99.99;0;0" << "0.5" << "000.50" << 50;
    QTest::newRow("comma") << "!#999.9;0;0" << "12,5" << "0012.5" << 125;
    QTest::newRow("letters and signs ignored") << "!#99.99;0;0" << "1x2-+.3" << "012.30" << 1230;
    QTest::newRow("too many digits stop") << "!#999;0;0" << "123456" << "1234" << 1234;
    QTest::newRow("second point ignored") << "!#99.99;0;0" << "1.2.5" << "001.25" << 125;
    QTest::newRow("delay 7") << "999;0;0" << "7" << "007" << 7;
}

void TestMaskEdit::typingGivesTheWrittenNumber()
{
    QFETCH(QString, mask);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(int, count);
    TMaskEdit edit;
    edit.setMask(mask.toStdString());
    edit.setText(std::string("0"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&edit, keys);
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.text(), shown);
    QCOMPARE(edit.count(), count);
    QVERIFY(edit.isModified());
}

void TestMaskEdit::refusedKeysLeaveTheField()
{
    TMaskEdit edit;
    edit.setMask("999;0;0");
    edit.setText(std::string("123"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.end(false);
    QTest::keyClicks(&edit, "4-.a ");
    QCOMPARE(edit.text(), QString("123"));
    QCOMPARE(edit.valueText(), std::string("123"));
    QVERIFY(!edit.isModified());

    // A sign can only go first.
    edit.setMask("!#999;0;0");
    edit.setText(std::string("0012"));
    edit.end(false);
    QTest::keyClick(&edit, Qt::Key_Minus);
    QCOMPARE(edit.text(), QString("0012"));
    edit.home(false);
    QTest::keyClick(&edit, Qt::Key_Minus);
    QCOMPARE(edit.text(), QString("-0012"));
    QCOMPARE(edit.count(), -12);
}

void TestMaskEdit::backspaceDeleteAndPaste()
{
    TMaskEdit edit;
    edit.setMask("!#99.99;0;0");
    edit.setText(std::string("01234"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));

    // Removing the point would leave 4 integer digits: refused.
    edit.setCursorPosition(4);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QString("012.34"));

    edit.end(false);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QString("012.3"));
    QCOMPARE(edit.count(), 1230);

    edit.home(false);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.count(), 1230);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), QString("2.3"));
    QCOMPARE(edit.count(), 230);

    QGuiApplication::clipboard()->setText(QStringLiteral("-7.25"));
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.count(), -725);

    // A paste that does not fit changes nothing.
    QGuiApplication::clipboard()->setText(QStringLiteral("12345"));
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.count(), -725);
    QGuiApplication::clipboard()->setText(QStringLiteral("abc"));
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.count(), -725);

    // Clearing everything reads 0; undo brings the number back.
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.count(), 0);
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit.count(), -725);

    // An empty field is drawn with its blanks.
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.text(), QString("000.00"));
    QCOMPARE(edit.count(), 0);
}

void TestMaskEdit::clickSelectsEverything()
{
    QWidget window;
    auto* first = new QLineEdit(&window);
    auto* edit = new TMaskEdit(&window);
    edit->move(0, 40);
    edit->setMask("!#9999;0;0");
    edit->setText(std::string("00000"));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    first->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(5, edit->height() / 2));
    QVERIFY(edit->hasFocus());
    QTest::keyClicks(edit, "250");
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(edit->text(), QString("00250"));
    QCOMPARE(edit->count(), 250);
}

void TestMaskEdit::newMaskKeepsTheDigits()
{
    TMaskEdit edit;
    edit.setMask("!#9999;0;0");
    edit.setText(std::string("00125"));
    edit.setMask("!#999.9;0;0");
    QCOMPARE(edit.text(), QString("0012.5"));
    QCOMPARE(edit.count(), 125);
}

QTEST_MAIN(TestMaskEdit)
#include "test_maskedit.moc"
