#include "dialogs/Version.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "dialogs/DialogSupport.h"


namespace {

struct VersionTexts {
    const char16_t* caption;
    const char16_t* description;
    const char16_t* series;
    const char16_t* version;
};

// Indexed by LanguageIndex: Catalan, Spanish, French, English. Any other
// index keeps the built-in texts, which are the Spanish ones. The series line
// continues the description line above it.
constexpr TByLanguage<VersionTexts> kTexts{{
    {u"Versió", u"Programa parametrització visualitzadors de les",
     u"sèries de visualitzadors amb entrada analògica", u"Versió: 1.1"},
    {u"Versión", u"Programa parametrización visualizadores de las",
     u"series de visualizadores con entrada analógica", u"Versión: 1.1"},
    {u"Version", u"Logiciel pour paramétrisser des afficheurs de las",
     u"séries d'afficheurs à entrée analogique", u"Version: 1.1"},
    {u"Version", u"Software for setting display parameters ",
     u"of the display series with analog input", u"Version: 1.1"},
}};

QLabel* makeLabel(QWidget* parent, const char* name, int left, int top, const QString& text,
                  const QFont& font, const QColor& colour)
{
    auto* label = named(new QLabel(text, parent), QString::fromLatin1(name));
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TForm4::TForm4(QWidget* owner, int language) : QDialog(owner)
{
    setObjectName(QStringLiteral("Form4"));
    setFixedSize(361, 206);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    const VersionTexts& t = languageRow(kTexts, kTexts.pick(TLanguage::Spanish), language);
    setWindowTitle(qs(t.caption));
    const QColor teal(0x00, 0x80, 0x80);
    Label1 = makeLabel(this, "Label1", 24, 8, qs(t.description), dialogFont(13, true), teal);
    Label5 = makeLabel(this, "Label5", 24, 24, qs(t.series), dialogFont(13, true), teal);
    Label2 = makeLabel(this, "Label2", 24, 48, QStringLiteral("DADiz"), dialogFont(21, true),
                       QColor(0xFF, 0x00, 0xFF));
    Label3 = makeLabel(this, "Label3", 120, 48, qs(t.version), dialogFont(19, true, true), QColor(0x00, 0x80, 0x00));
    Label4 = makeLabel(this, "Label4", 72, 88, QStringLiteral("17/11/2011"), dialogFont(13, true),
                       palette().color(QPalette::WindowText));

    Button1 = named(new QPushButton(QStringLiteral("Ok"), this), QStringLiteral("Button1"));
    Button1->setFont(dialogFont(21, true));
    QPalette buttonPal = Button1->palette();
    buttonPal.setColor(QPalette::ButtonText, Qt::black);
    Button1->setPalette(buttonPal);
    Button1->setGeometry(40, 112, 153, 41);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}
