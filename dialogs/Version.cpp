#include "dialogs/Version.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>


namespace {

struct VersionTexts {
    const char16_t* caption;
    const char16_t* description;
    const char16_t* series;
    const char16_t* version;
};

// Indexed by LanguageIndex: Catalan, Spanish, French, English. The series line
// continues the description line above it.
constexpr VersionTexts kTexts[4] = {
    {u"Versió", u"Programa parametrització visualitzadors de les",
     u"sèries de visualitzadors amb entrada analògica", u"Versió: 1.1"},
    {u"Versión", u"Programa parametrización visualizadores de las",
     u"series de visualizadores con entrada analógica", u"Versión: 1.1"},
    {u"Version", u"Logiciel pour paramétrisser des afficheurs de las",
     u"séries d'afficheurs à entrée analogique", u"Version: 1.1"},
    {u"Version", u"Software for setting display parameters ",
     u"of the display series with analog input", u"Version: 1.1"},
};

// Arial where it exists; Liberation Sans has the same metrics elsewhere.
QFont arial(int pixelSize, bool italic = false)
{
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setPixelSize(pixelSize);
    f.setBold(true);
    f.setItalic(italic);
    return f;
}

QLabel* makeLabel(QWidget* parent, const char* name, int left, int top, const QString& text,
                  const QFont& font, const QColor& colour)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
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

    const VersionTexts& builtIn = kTexts[1];
    setWindowTitle(QString::fromUtf16(builtIn.caption));
    const QColor teal(0x00, 0x80, 0x80);
    Label1 = makeLabel(this, "Label1", 24, 8, QString::fromUtf16(builtIn.description), arial(13), teal);
    Label5 = makeLabel(this, "Label5", 24, 24, QString::fromUtf16(builtIn.series), arial(13), teal);
    Label2 = makeLabel(this, "Label2", 24, 48, QStringLiteral("DADiz"), arial(21), QColor(0xFF, 0x00, 0xFF));
    Label3 = makeLabel(this, "Label3", 120, 48, QString::fromUtf16(builtIn.version), arial(19, true),
                       QColor(0x00, 0x80, 0x00));
    Label4 = makeLabel(this, "Label4", 72, 88, QStringLiteral("17/11/2011"), arial(13),
                       palette().color(QPalette::WindowText));

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(arial(21));
    QPalette buttonPal = Button1->palette();
    buttonPal.setColor(QPalette::ButtonText, Qt::black);
    Button1->setPalette(buttonPal);
    Button1->setGeometry(40, 112, 153, 41);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    if (language >= 0 && language <= 3) {
        const VersionTexts& t = kTexts[language];
        setWindowTitle(QString::fromUtf16(t.caption));
        Label1->setText(QString::fromUtf16(t.description));
        Label5->setText(QString::fromUtf16(t.series));
        Label3->setText(QString::fromUtf16(t.version));
        Label1->adjustSize();
        Label5->adjustSize();
        Label3->adjustSize();
    }
}
