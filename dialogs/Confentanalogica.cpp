#include "dialogs/Confentanalogica.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "base/Formats.h"
#include "base/Texts.h"
#include "config/RecordFields.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/MaskEdit.h"
#include "dialogs/RadioGroup.h"

namespace {

struct AnalogTexts {
    const char16_t* title;
    const char16_t* modeCaption;
    const char16_t* modeProcess;
    const char16_t* modeTemperature;
    const char16_t* inputCaption;
    const char16_t* voltage;
    const char16_t* current;
    const char16_t* unitsCaption;
    const char16_t* point1;
    const char16_t* inputValue;
    const char16_t* displayValue;
    const char16_t* point2;
    const char16_t* decimalPoint;
    const char16_t* resolution;
    const char16_t* probe;
    const char16_t* offset;
};

// Indexed by LanguageIndex: Catalan, Spanish, French, English.
constexpr TByLanguage<AnalogTexts> kTexts{{
    {u"Configuració entrada analògica", u"Selecció control", u"Procés", u"Temperatura",
     u"Tipus de entrada", u"Tensió", u"Corrent", u"Unitat de mesura", u"Entrada 1", u"Valor entrada",
     u"Valor del display", u"Entrada 2", u"Posició del punt decimal", u"Resolució", u"Tipus de sonda",
     u"Offset del termòmetre"},
    {u"Configuración entrada analógica", u"Selección control", u"Proceso", u"Temperatura",
     u"Tipo de entrada", u"Tensión", u"Corriente", u"Unidad de medida", u"Entrada 1", u"Valor entrada",
     u"Valor del display", u"Entrada 2", u"Posición del punto decimal", u"Resolución", u"Tipo de sonda",
     u"Offset del termometro"},
    {u"Configuration entrée analogique", u"Sélection control", u"Process", u"Température",
     u"Type d'entrée", u"Tension", u"Courant", u"Unité de mesure", u"Entrée 1", u"Valeur entrée",
     u"Valeur affichage", u"Entrée 2", u"Position point décimal", u"Résolutión", u"Type du sonde",
     u"Offset du thermometre"},
    {u"Setup analog input", u"Select control", u"Process", u"Temperature", u"Analog input", u"Voltage",
     u"Current", u"Enginnering units", u"Input 1", u"Input value", u"Display value", u"Input 2",
     u"Position of decimal point", u"Resolution", u"Probe type", u"Thermometer offset"},
}};

// The texts the window is designed with.
constexpr AnalogTexts kBuiltIn =
    {u"DADiz 1.0 - Configuración entrada analógica", u"Selección control", u"Proceso", u"Temperatura",
     u"Tipo entrada", u"Tensión", u"Corriente", u"Unidad de medida", u"Entrada 1", u"Valor entrada",
     u"Valor del display", u"Entrada 2", u"Posición del punto decimal", u"Resolución", u"Tipo de sonda",
     u"Offset del termómetro"};

// Beside the offset field: %1 is the offset Ok keeps.
const TTexts kOffsetKept = {"es manté %1", "se mantiene %1", "%1 conservé", "%1 kept"};

const char* const kPointItems[5] = {"0", "0.0", "0.00", "0.000", "0.0000"};

TFieldLimits offsetLimits()
{
    return recordField(&TDisplayConfig::TempOffset).limits({});
}

std::uint8_t indexByte(int index)
{
    return index < 0 ? 255 : std::uint8_t(index);
}

// One of the four scaling boxes' rows: label and field.
void addRow(QGridLayout* grid, int row, QLabel* label, TMaskEdit* edit)
{
    edit->setFixedWidth(84);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
}

} // namespace

TForm3::TForm3(QWidget* owner, int language) : QDialog(owner), language_(language)
{
    setObjectName(QStringLiteral("Form3"));
    setFont(dialogFont(12));

    RadioGroup1 = named(new TRadioGroup(this), "RadioGroup1");
    RadioGroup1->setItems({QString(), QString()});
    RadioGroup1->setColumns(2);
    RadioGroup2 = named(new TRadioGroup(this), "RadioGroup2");
    RadioGroup2->setItems({QString(), QString()});
    RadioGroup3 = named(new TRadioGroup(this), "RadioGroup3");
    RadioGroup3->setItems({QString::fromUtf8("ºF"), QString::fromUtf8("ºC")});
    RadioGroup4 = named(new TRadioGroup(this), "RadioGroup4");
    RadioGroup4->setItems({QString::fromUtf8("1 º"), QString::fromUtf8("0,1 º")});

    GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    Label1 = named(new QLabel(GroupBox1), "Label1");
    Edit1 = named(new TMaskEdit(GroupBox1), "Edit1");
    Label2 = named(new QLabel(GroupBox1), "Label2");
    Edit2 = named(new TMaskEdit(GroupBox1), "Edit2");
    auto* grid1 = new QGridLayout(GroupBox1);
    addRow(grid1, 0, Label1, Edit1);
    addRow(grid1, 1, Label2, Edit2);

    GroupBox2 = named(new QGroupBox(this), "GroupBox2");
    Label3 = named(new QLabel(GroupBox2), "Label3");
    Edit3 = named(new TMaskEdit(GroupBox2), "Edit3");
    Label4 = named(new QLabel(GroupBox2), "Label4");
    Edit4 = named(new TMaskEdit(GroupBox2), "Edit4");
    auto* grid2 = new QGridLayout(GroupBox2);
    addRow(grid2, 0, Label3, Edit3);
    addRow(grid2, 1, Label4, Edit4);

    GroupBox3 = named(new QGroupBox(this), "GroupBox3");
    ComboBox1 = named(new QComboBox(GroupBox3), "ComboBox1");
    for (const char* item : kPointItems)
        ComboBox1->addItem(QString::fromLatin1(item));
    ComboBox1->setPlaceholderText(QStringLiteral("Selecionar"));
    ComboBox1->setCurrentIndex(-1);
    (new QVBoxLayout(GroupBox3))->addWidget(ComboBox1);

    GroupBox4 = named(new QGroupBox(this), "GroupBox4");
    ComboBox2 = named(new QComboBox(GroupBox4), "ComboBox2");
    ComboBox2->addItems({QStringLiteral("PT100"), QStringLiteral("Tipo J"), QStringLiteral("Tipo K"),
                         QStringLiteral("Tipo T")});
    ComboBox2->setPlaceholderText(QStringLiteral("Seleccionar"));
    ComboBox2->setCurrentIndex(-1);
    (new QVBoxLayout(GroupBox4))->addWidget(ComboBox2);

    GroupBox5 = named(new QGroupBox(this), "GroupBox5");
    Edit5 = named(new TMaskEdit(GroupBox5), "Edit5");
    Edit5->setMask(recordField(&TDisplayConfig::TempOffset).mask({}));
    Edit5->setFixedWidth(60);
    Label5 = named(new QLabel(QString::fromUtf8("º"), GroupBox5), "Label5");
    OffsetNote = named(new QLabel(GroupBox5), "OffsetNote");
    OffsetNote->hide();
    auto* row5 = new QHBoxLayout(GroupBox5);
    row5->addWidget(Edit5);
    row5->addWidget(Label5);
    row5->addWidget(OffsetNote);
    row5->addStretch();

    Button1 = named(new QPushButton(QStringLiteral("Ok"), this), "Button1");
    Button2 = named(new QPushButton(QStringLiteral("Cancel"), this), "Button2");
    for (QPushButton* b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
    QPalette cancel = Button2->palette();
    cancel.setColor(QPalette::Active, QPalette::ButtonText, QColor(0x80, 0x00, 0x00));
    cancel.setColor(QPalette::Inactive, QPalette::ButtonText, QColor(0x80, 0x00, 0x00));
    Button2->setPalette(cancel);
    styleCaption(RadioGroup1, QColor(0x00, 0x00, 0x80), true);

    auto* left = new QVBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{RadioGroup2, GroupBox1, GroupBox2, GroupBox3})
        left->addWidget(w);
    left->addStretch();
    auto* right = new QVBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{RadioGroup3, GroupBox4, RadioGroup4, GroupBox5})
        right->addWidget(w);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    QHBoxLayout* buttons = buttonRow(Button1, Button2);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(RadioGroup1);
    outer->addLayout(columns);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(RadioGroup1, &TRadioGroup::itemChanged, this, [this] { RadioGroup1Click(); });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { ModPuntDec(); });
    // Once retyped, the field's whole degrees are what Ok stores.
    connect(Edit5, &QLineEdit::textEdited, OffsetNote, &QWidget::hide);

    setLanguageTexts(language);
}

void TForm3::setLanguageTexts(int languageIndex)
{
    const AnalogTexts& t = languageRow(kTexts, kBuiltIn, languageIndex);
    setWindowTitle(qs(t.title));
    RadioGroup1->setTitle(qs(t.modeCaption));
    RadioGroup1->setItemText(0, qs(t.modeProcess));
    RadioGroup1->setItemText(1, qs(t.modeTemperature));
    RadioGroup2->setTitle(qs(t.inputCaption));
    RadioGroup2->setItemText(0, qs(t.voltage));
    RadioGroup2->setItemText(1, qs(t.current));
    RadioGroup3->setTitle(qs(t.unitsCaption));
    GroupBox1->setTitle(qs(t.point1));
    Label1->setText(qs(t.inputValue));
    Label3->setText(qs(t.inputValue));
    Label2->setText(qs(t.displayValue));
    Label4->setText(qs(t.displayValue));
    GroupBox2->setTitle(qs(t.point2));
    GroupBox3->setTitle(qs(t.decimalPoint));
    RadioGroup4->setTitle(qs(t.resolution));
    GroupBox4->setTitle(qs(t.probe));
    GroupBox5->setTitle(qs(t.offset));
}

void TForm3::loadFrom(const TDisplayConfig& cfg)
{
    digitsIndex_ = cfg.DigitsIndex;
    const int cls = digitclass::of(cfg.DigitsIndex);
    const int cap = digitclass::cap(cls);
    const int width = digitclass::width(cls);
    // Positions beyond the cap cannot be shown by this display.
    const int position = digitclass::shownDecimals(cfg.DigitsIndex, cfg.DecimalPoint);

    // The dialog starts with no mode chosen, so this applies the mode's rule.
    RadioGroup1->setItemIndex(cfg.InputMode);

    RadioGroup2->setItemIndex(cfg.ProcessInput);
    {
        const QSignalBlocker quiet(ComboBox1);
        while (ComboBox1->count() > cap + 1)
            ComboBox1->removeItem(ComboBox1->count() - 1);
        ComboBox1->setCurrentIndex(position);
    }

    const TFieldContext shown{cfg.DigitsIndex, static_cast<std::uint8_t>(position)};
    const std::string inputMask = recordField(&TDisplayConfig::InputValue1).mask(shown);
    const std::string displayMask = recordField(&TDisplayConfig::DisplayValue1).mask(shown);
    Edit1->setMask(inputMask);
    Edit3->setMask(inputMask);
    Edit2->setMask(displayMask);
    Edit4->setMask(displayMask);

    const int inputDecimals = digitclass::inputDecimals(cls);
    Edit1->setText(digitclass::scaledCountText(cfg.InputValue1, inputDecimals, width));
    Edit3->setText(digitclass::scaledCountText(cfg.InputValue2, inputDecimals, width));

    displayText1_ = digitclass::scaledCountText(cfg.DisplayValue1, position, width);
    displayText2_ = digitclass::scaledCountText(cfg.DisplayValue2, position, width);
    Edit2->setText(displayText1_);
    Edit4->setText(displayText2_);

    RadioGroup3->setItemIndex(cfg.TempUnits);
    ComboBox2->setCurrentIndex(cfg.ProbeType < ComboBox2->count() ? cfg.ProbeType : -1);
    RadioGroup4->setItemIndex(cfg.Resolution);

    // The field shows what Ok stores. It holds whole degrees only: an offset
    // with tenths (read from a display, from a file) is kept unless retyped,
    // and the note beside the empty field says so.
    offsetLoaded_ = offsetLimits().clamp(cfg.TempOffset);
    const bool whole = std::trunc(offsetLoaded_) == offsetLoaded_;
    const std::string loadedText = generalFloatText(offsetLoaded_);
    Edit5->setText(whole ? loadedText : std::string());
    OffsetNote->setText(whole ? QString()
                              : QString::fromStdString(fillIn(kOffsetKept.pick(textLanguage(language_)), {loadedText})));
    // A note once shown keeps its room when retyping hides it: the window keeps its size.
    QSizePolicy room = OffsetNote->sizePolicy();
    room.setRetainSizeWhenHidden(!whole);
    OffsetNote->setSizePolicy(room);
    OffsetNote->setVisible(!whole);
}

void TForm3::storeTo(TDisplayConfig& cfg) const
{
    cfg.InputMode = indexByte(RadioGroup1->itemIndex());
    cfg.ProcessInput = indexByte(RadioGroup2->itemIndex());
    cfg.DecimalPoint = indexByte(ComboBox1->currentIndex());

    // The limits of the digits the dialog opened with and the position just stored.
    const TFieldContext stored{digitsIndex_, cfg.DecimalPoint};
    const TFieldLimits input = recordField(&TDisplayConfig::InputValue1).limits(stored);
    const auto inputScale = static_cast<double>(digitclass::powerOfTen(input.decimals));
    cfg.InputValue1 = input.clamp(Edit1->count() / inputScale);
    cfg.InputValue2 = input.clamp(Edit3->count() / inputScale);

    const TFieldLimits display = recordField(&TDisplayConfig::DisplayValue1).limits(stored);
    const auto displayScale = static_cast<double>(digitclass::powerOfTen(display.decimals));
    cfg.DisplayValue1 = display.clamp(Edit2->count() / displayScale);
    cfg.DisplayValue2 = display.clamp(Edit4->count() / displayScale);

    cfg.TempUnits = indexByte(RadioGroup3->itemIndex());
    cfg.ProbeType = indexByte(ComboBox2->currentIndex());
    cfg.Resolution = indexByte(RadioGroup4->itemIndex());

    cfg.TempOffset = Edit5->isModified() ? offsetLimits().clamp(textToDouble(Edit5->valueText())) : offsetLoaded_;
}

void TForm3::RadioGroup1Click()
{
    const int mode = RadioGroup1->itemIndex();
    if (mode != 0 && mode != 1)
        return;
    const bool process = mode == 0;
    for (QWidget* w : std::initializer_list<QWidget*>{RadioGroup2, GroupBox1, Edit1, Edit2, GroupBox2, Edit3,
                                                      Edit4, GroupBox3, ComboBox1})
        w->setEnabled(process);
    for (QWidget* w :
         std::initializer_list<QWidget*>{RadioGroup3, GroupBox4, ComboBox2, RadioGroup4, GroupBox5, Edit5})
        w->setEnabled(!process);
}

void TForm3::ModPuntDec()
{
    const std::string mask =
        recordField(&TDisplayConfig::DisplayValue1).mask({digitsIndex_, indexByte(ComboBox1->currentIndex())});
    Edit2->setMask(mask);
    Edit4->setMask(mask);
    Edit2->setText(displayText1_);
    Edit4->setText(displayText2_);
}
