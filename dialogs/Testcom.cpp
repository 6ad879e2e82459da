#include "dialogs/Testcom.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "base/Formats.h"
#include "dialogs/DialogSupport.h"

namespace {

struct TestTexts {
    const char16_t* caption;
    const char16_t* protocolBox;
    const char16_t* selectProtocol;
    const char16_t* dataBox;
    const char16_t* writeValue;
    const char16_t* maxDigits;
    const char16_t* send;
    const char16_t* exit;
};

// Indexed by LanguageIndex: Catalan, Spanish, French, English.
constexpr TByLanguage<TestTexts> kTexts{{
    {u"Test de comunicació", u"Protocol de comunicació", u"Seleccionar protocol de comunicació",
     u"Dades a enviar", u"Escriure el valor numèric que es vol enviar", u"màxim 6 dígits", u"Enviar",
     u"Sortir"},
    {u"Test de comunicación", u"Protocolo de comunicación", u"Seleccionar protocolo de comunicación",
     u"Datos a enviar", u"Escribir el valor numerico que se desea enviar", u"máximo 6 dígitos", u"Enviar",
     u"Salir"},
    {u"Test de transmission", u"Protocole du transmission", u"Sélectioner protocole du transmission",
     u"Donnes pour envoyer", u"Écrire le valeur numérique pour envoyer", u"maximum 6 chiffres", u"Envoyer",
     u"Quitter"},
    {u"Transmission test", u"Transmission protocol", u"Select transmission protocol", u"Data to send",
     u"Write numerical value to send", u"6 digits maximum", u"To send", u"Exit"},
}};

// The texts the window is designed with.
constexpr TestTexts kBuiltIn =
    {u"DADiz 1.0 - Test de comunicación", u"Protocolo de comunicación", u"Seleccionar protocolo de comunicación",
     u"Datos a enviar", u"Escribir el valor numérico que se desea enviar", u"máximo 6 dígitos", u"Enviar",
     u"Salir"};

constexpr int kValueLength = 6;

void colour(QWidget* w, QPalette::ColorRole role, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Active, role, c);
    p.setColor(QPalette::Inactive, role, c);
    w->setPalette(p);
}

} // namespace

TForm6::TForm6(QWidget* owner, int language) : QDialog(owner)
{
    setObjectName(QStringLiteral("Form6"));
    setFont(dialogFont(12));

    GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    Label1 = named(new QLabel(GroupBox1), "Label1");
    ComboBox1 = named(new QComboBox(GroupBox1), "ComboBox1");
    ComboBox1->addItems({QStringLiteral("Vorel"), QStringLiteral("ISO 1745"), QStringLiteral("ModBus"),
                         QStringLiteral("Host-Link esclavo de Omron"), QStringLiteral("ASCII"),
                         QStringLiteral("Host-Link maestro de Omron"), QStringLiteral("Zurc"),
                         QStringLiteral("S7-200 de Siemens")});
    ComboBox1->setCurrentIndex(-1);
    auto* protocol = new QVBoxLayout(GroupBox1);
    protocol->addWidget(Label1);
    protocol->addWidget(ComboBox1);

    GroupBox2 = named(new QGroupBox(this), "GroupBox2");
    Label2 = named(new QLabel(GroupBox2), "Label2");
    Label3 = named(new QLabel(GroupBox2), "Label3");
    Edit1 = named(new QLineEdit(GroupBox2), "Edit1");
    Edit1->setMaxLength(kValueLength);
    Edit1->setFixedWidth(110);
    auto* dataLayout = new QVBoxLayout(GroupBox2);
    dataLayout->addWidget(Label2);
    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(Edit1);
    valueRow->addWidget(Label3);
    valueRow->addStretch();
    dataLayout->addLayout(valueRow);

    Button1 = named(new QPushButton(this), "Button1");
    Button2 = named(new QPushButton(this), "Button2");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(100);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(GroupBox1);
    outer->addWidget(GroupBox2);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    styleCaption(GroupBox1, palette().color(QPalette::WindowText), true, true);
    styleCaption(GroupBox2, palette().color(QPalette::WindowText), true, true);
    // After the caption styling, which gives the box's contents the window's font.
    QFont valueFont = dialogFont(18);
    valueFont.setBold(false);
    valueFont.setItalic(false);
    Edit1->setFont(valueFont);
    colour(Label1, QPalette::WindowText, QColor(0x00, 0x80, 0x00));
    colour(Label2, QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
    colour(Label3, QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
    colour(Button2, QPalette::ButtonText, QColor(0xFF, 0x00, 0x00));

    const TestTexts& t = languageRow(kTexts, kBuiltIn, language);
    setWindowTitle(qs(t.caption));
    GroupBox1->setTitle(qs(t.protocolBox));
    Label1->setText(qs(t.selectProtocol));
    GroupBox2->setTitle(qs(t.dataBox));
    Label2->setText(qs(t.writeValue));
    Label3->setText(qs(t.maxDigits));
    Button1->setText(qs(t.send));
    Button2->setText(qs(t.exit));
}

void TForm6::loadFrom(const TDisplayConfig& cfg)
{
    // The index byte is taken as signed: 255 (no choice) stays no choice.
    const int index = static_cast<std::int8_t>(cfg.TestProtocolIndex);
    ComboBox1->setCurrentIndex(index < ComboBox1->count() ? index : -1);
    // A value whose text is longer than the field still shows whole.
    const QString text = QString::fromStdString(generalFloatText(cfg.TestValue));
    Edit1->setMaxLength(std::max<int>(kValueLength, int(text.size())));
    Edit1->setText(text);
}

void TForm6::storeTo(TDisplayConfig& cfg) const
{
    const int index = ComboBox1->currentIndex();
    cfg.TestProtocolIndex = index < 0 ? 255 : std::uint8_t(index);
    // "nan" and "inf" read as numbers; like any other word they count 0 here.
    const double value = textToDouble(Edit1->text().toStdString());
    cfg.TestValue = std::isfinite(value) ? value : 0.0;
}

void TForm6::Button1Click() {}
