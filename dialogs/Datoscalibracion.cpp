#include "dialogs/Datoscalibracion.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/DialogSupport.h"

TForm8* Form8 = nullptr;

namespace {

// Texts by control; the window caption first, then the controls in this order.
enum Text {
    Caption, Process, Thermometer, Read, Exit,
    // Label1 .. Label18 follow at LabelBase + n.
    LabelBase = Exit,
    TextCount = LabelBase + 19,
};

// Indexed by LanguageIndex: Catalan, Spanish, French, English. Any other
// index keeps the built-in texts, which are the Spanish ones.
constexpr TByLanguage<std::array<const char16_t*, TextCount>> kTexts{{
    {u"Dades calibració", u"Dades procés", u"Dades termòmetre", u"Llegir", u"Sortir",
     u"Tensió -10V", u"Tensió +10V", u"Corrent -20mA", u"Corrent +20mA", u"Termoparell", u"Termoparell T",
     u"PT100", u"Termoparell J-K", u"Temp. 0°. Resolució 1°", u"CANAL 1", u"CANAL 2",
     u"Temp. 0°. Resolució 0.1°", u"Temp. 300°. Resolució 1°", u"Temp. 300°. Resolució 0.1°", u"Tensió 0V",
     u"Tensió 20mV", u"Tensió diode", u"Temperatura diode"},
    {u"Datos calibración", u"Datos proceso", u"Datos termómetro", u"Leer", u"Salir",
     u"Tensión -10V", u"Tensión +10V", u"Corriente -20mA", u"Corriente +20mA", u"Termopar", u"Termopar T",
     u"PT100", u"Termopar J-K", u"Temp. 0°. Resolución 1°", u"CANAL 1", u"CANAL 2",
     u"Temp. 0°. Resolución 0.1°", u"Temp. 300°. Resolución 1°", u"Temp. 300°. Resolución 0.1°",
     u"Tensión 0V", u"Tensión 20mV", u"Tensión diodo", u"Temperatura diodo"},
    {u"Donnes calibration", u"Donnes process", u"Donnes thermometre", u"Lire", u"Quitter",
     u"Tension -10V", u"Tensionó +10V", u"Courant -20mA", u"Courant +20mA", u"Thermocouple",
     u"Thermocouple T", u"PT100", u"Thermocouple J-K", u"Temp. 0°. Résolution 1°", u"CANAL 1", u"CANAL 2",
     u"Temp. 0°. Résolution 0.1°", u"Temp. 300°. Résolution 1°", u"Temp. 300°. Résolution 0.1°",
     u"Tension 0V", u"Tension 20mV", u"Tension diode", u"Température diode"},
    {u"Calibration data ", u"Process data", u"Themometer data", u"Read", u"Exit",
     u"Voltage -10V", u"Voltage +10V", u"Current -20mA", u"Current +20mA", u"Termocouple", u"Termocouple T",
     u"PT100", u"Termocouple J-K", u"Temp. 0°. Resolution 1°", u"CHANEL 1", u"CHANEL 2",
     u"Temp. 0°. Resolution 0.1°", u"Temp. 300°. Resolution 1°", u"Temp. 300°. Resolution 0.1°",
     u"Voltage 0V", u"Voltage 20mV", u"Diode voltage", u"Diode temperature"},
}};

constexpr int kBoxWidth = 76;

QFont boldened(QFont f)
{
    f.setBold(true);
    return f;
}

} // namespace

TForm8::TForm8(QWidget* owner, int language, std::function<void()> read)
    : QDialog(owner), read_(std::move(read))
{
    setObjectName(QStringLiteral("Form8"));
    setFont(dialogFont(12));

    GroupBox1 = named(new QGroupBox(this), QStringLiteral("GroupBox1"));
    GroupBox2 = named(new QGroupBox(this), QStringLiteral("GroupBox2"));
    // Labels 1-4 and boxes 1-4 belong to the process box, the rest to the thermometer box.
    for (int n = 1; n <= 18; ++n) {
        QWidget* parent = n <= 4 ? GroupBox1 : GroupBox2;
        Label[n] = named(new QLabel(parent), QStringLiteral("Label%1").arg(n));
        Edit[n] = named(new QLineEdit(parent), QStringLiteral("Edit%1").arg(n));
        Edit[n]->setReadOnly(true);
        Edit[n]->setFixedWidth(kBoxWidth);
    }

    // Process: voltage rows on the left, current rows on the right.
    auto* process = new QGridLayout(GroupBox1);
    process->setHorizontalSpacing(8);
    process->addWidget(Label[1], 0, 0);
    process->addWidget(Edit[1], 0, 1);
    process->addWidget(Label[2], 1, 0);
    process->addWidget(Edit[2], 1, 1);
    process->setColumnMinimumWidth(2, 24);
    process->setColumnStretch(2, 1);
    process->addWidget(Label[3], 0, 3);
    process->addWidget(Edit[3], 0, 4);
    process->addWidget(Label[4], 1, 3);
    process->addWidget(Edit[4], 1, 4);

    // Thermometer: row labels on the left, two columns of boxes on the right;
    // the PT100 section above the thermocouple section.
    auto* thermo = new QGridLayout(GroupBox2);
    thermo->setHorizontalSpacing(16);
    thermo->setColumnStretch(0, 1);
    const auto heading = [&](int row, int title, int left, int right) {
        Label[title]->setFont(boldened(Label[title]->font()));
        thermo->addWidget(Label[title], row, 0);
        thermo->addWidget(Label[left], row, 1, Qt::AlignHCenter | Qt::AlignBottom);
        thermo->addWidget(Label[right], row, 2, Qt::AlignHCenter | Qt::AlignBottom);
    };
    const auto row = [&](int r, int label, int left, int right) {
        thermo->addWidget(Label[label], r, 0);
        thermo->addWidget(Edit[left], r, 1, Qt::AlignHCenter);
        if (right)
            thermo->addWidget(Edit[right], r, 2, Qt::AlignHCenter);
    };
    heading(0, 7, 10, 11);
    row(1, 9, 5, 7);
    row(2, 12, 6, 8);
    row(3, 13, 9, 10);
    row(4, 14, 11, 12);
    auto* rule = new QFrame(GroupBox2);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    thermo->addWidget(rule, 5, 0, 1, 3);
    heading(6, 5, 8, 6);
    row(7, 15, 13, 14);
    row(8, 16, 15, 16);
    row(9, 17, 17, 0);
    row(10, 18, 18, 0);

    Button1 = named(new QPushButton(this), QStringLiteral("Button1"));
    Button2 = named(new QPushButton(this), QStringLiteral("Button2"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button2);
    buttons->addStretch();
    buttons->addWidget(Button1);
    for (QPushButton* b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
    connect(Button2, &QPushButton::clicked, this, &TForm8::LlegirCalib);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
    // The boxes only show; the focus starts on "Leer".
    Button2->setFocus();

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(GroupBox1);
    outer->addWidget(GroupBox2);
    outer->addSpacing(4);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    const auto& t = languageRow(kTexts, kTexts.pick(TLanguage::Spanish), language);
    setWindowTitle(qs(t[Caption]));
    GroupBox1->setTitle(qs(t[Process]));
    GroupBox2->setTitle(qs(t[Thermometer]));
    Button2->setText(qs(t[Read]));
    Button1->setText(qs(t[Exit]));
    for (int n = 1; n <= 18; ++n)
        Label[n]->setText(qs(t[LabelBase + n]));
}

void TForm8::setAllBoxes(const QString& text)
{
    for (int n = 1; n <= 18; ++n)
        Edit[n]->setText(text);
}

void TForm8::LlegirCalib()
{
    if (read_)
        read_();
}

void TForm8::showCalibration(const TCalibrationTexts& texts)
{
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (texts[i])
            Edit[i + 1]->setText(QString::fromLatin1(texts[i]->data(), qsizetype(texts[i]->size())));
}

void RebreCalib(std::span<const std::uint8_t> reply)
{
    if (Form8)
        Form8->showCalibration(parseCalibrationReply(reply));
}
