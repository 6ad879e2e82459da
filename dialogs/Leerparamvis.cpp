#include "dialogs/Leerparamvis.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/DialogSupport.h"
#include "dialogs/RadioGroup.h"
#include "dialogs/TypedChoice.h"

namespace {

struct ParamTexts {
    const char16_t* window;
    const char16_t* computer;
    const char16_t* port;
    const char16_t* baud;
    const char16_t* parity;
    const char16_t* parityItems[3];
    const char16_t* stopBits;
    const char16_t* stopItems[2];
    const char16_t* dataBits;
    const char16_t* dataItems[2];
    const char16_t* display;
    const char16_t* param1;
    const char16_t* address;
    const char16_t* param2;
    const char16_t* param4;
    const char16_t* param3;
    const char16_t* label3;
    const char16_t* label4;
    const char16_t* label5;
    const char16_t* label6;
    const char16_t* label7;
    const char16_t* param5;
    const char16_t* read;
    const char16_t* accept;
    const char16_t* exit;
};

// Indexed by LanguageIndex: Catalan, Spanish, French, English. The window is
// designed in Spanish, so the Spanish texts are also the built-in ones.
constexpr TByLanguage<ParamTexts> kTexts{{
    {u"Llegir paràmetros visualitzador", u"Dades ordinador", u"Port sèrie", u"Velocitat", u"Paritat",
     {u"Parell", u"Imparell", u"Sense paritat"}, u"Bits de stop", {u"1 bits stop", u"2 bits stop"},
     u"Bits de dades", {u"7 bits de dades", u"8 bits de dades"}, u"Dades visualitzador", u"Param. 1: Adreça",
     u"Adreça", u"Param. 2: Protocol", u"Param. 4: Tipus de línia sèrie", u"Param. 3: Comunicació",
     u"Velocitat", u"Paritat", u"Bits de stop", u"Bits de dades", u"Línia sèrie",
     u"Param. 5: Temps sense rebre dades", u"Llegir configuració", u"Acceptar", u"Sortir"},
    {u"Leer parametros visualizador", u"Datos ordenador", u"Puerto serie", u"Velocidad", u"Paridad",
     {u"Par", u"Impar", u"Sin paridad"}, u"Bits de stop", {u"1 bits stop", u"2 bits stop"}, u"Bits de datos",
     {u"7 bits de datos", u"8 bits de datos"}, u"Datos visualizador", u"Param. 1: Dirección", u"Dirección",
     u"Param. 2: Protocolo", u"Param. 4: Tipo de línea serie", u"Param. 3: Comunicación", u"Velocidad",
     u"Paridad", u"Bits de stop", u"Bits de datos", u"Línea serie", u"Param. 5: Tiempo sin recibir datos",
     u"Leer configuración", u"Aceptar", u"Salir"},
    {u"Lire paramètres afficheur", u"Donnes ordinateur", u"Port série", u"Vitesse", u"Parite",
     {u"Pair", u"Impair", u"Sans parite"}, u"Bits de stop", {u"1 bits stop", u"2 bits stop"}, u"Bits de donnes",
     {u"7 bits de donnes", u"8 bits de donnes"}, u"Donnes afficheur", u"Param. 1: Adresse", u"Adresse",
     u"Param. 2: Protocole", u"Param. 4: Sortie série", u"Param. 3: Transmission", u"Vitesse", u"Parite",
     u"Bits de stop", u"Bits de donnes", u"Sortie série", u"Param. 5: Temps sans recevoir donnes",
     u"Lire configuration", u"Accepter", u"Quitter"},
    {u"Display parameters", u"Computer", u"Port serial", u"Baud rate", u"Parity", {u"Even", u"Odd", u"No parity"},
     u"Stop bits", {u"1 stop bits", u"2 stop bits"}, u"Data bits", {u"7 Data bits", u"8 Data bits"},
     u"Display data", u"Param. 1: Address", u"Address", u"Param. 2: Protocol", u"Param. 4: Serial line",
     u"Param. 3: Transmission", u"Baud rate", u"Parity", u"Stop bits", u"Data bits", u"Serial line",
     u"Param. 5: Time without data", u"Read setup", u"Ok", u"Exit"},
}};

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& entries)
{
    auto* box = named(new QComboBox(parent), name);
    box->addItems(entries);
    box->setCurrentIndex(-1);
    return box;
}

QComboBox* makeList(QWidget* parent, const char* name, std::initializer_list<const char16_t*> entries)
{
    QStringList items;
    for (const char16_t* e : entries)
        items << qs(e);
    return makeList(parent, name, items);
}

// An index byte selects its entry; one outside the list selects none.
void selectEntry(QComboBox* box, std::uint8_t index)
{
    box->setCurrentIndex(index < box->count() ? index : -1);
}

std::uint8_t indexByte(int index)
{
    return index < 0 ? 255 : std::uint8_t(index);
}

// The one character whose code is the byte; code 0 is no character.
QString charText(std::uint8_t code)
{
    return code == 0 ? QString() : QString(QChar(code));
}

QLineEdit* makeCharBox(QWidget* parent, const char* name)
{
    auto* edit = named(new QLineEdit(parent), name);
    edit->setFixedWidth(40);
    return edit;
}

} // namespace

TForm5::TForm5(QWidget* owner, int language) : QDialog(owner), language_(language)
{
    setObjectName(QStringLiteral("Form5"));
    setFont(dialogFont(12));

    GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    Label1 = named(new QLabel(GroupBox1), "Label1");
    ComboBox1 = makeList(GroupBox1, "ComboBox1", {u"COM 1", u"COM 2", u"COM 3", u"COM 4", u"COM 5", u"COM 6"});
    Label2 = named(new QLabel(GroupBox1), "Label2");
    ComboBox2 = makeList(GroupBox1, "ComboBox2", speedItems());
    // The PC's port and speed can be typed as well as chosen.
    for (QComboBox* box : {ComboBox1, ComboBox2}) {
        takeTypedChoices(box);
        box->setMinimumContentsLength(7);
    }
    RadioGroup1 = named(new TRadioGroup(GroupBox1), "RadioGroup1");
    RadioGroup1->setItems({QString(), QString(), QString()});
    RadioGroup2 = named(new TRadioGroup(GroupBox1), "RadioGroup2");
    RadioGroup2->setItems({QString(), QString()});
    RadioGroup3 = named(new TRadioGroup(GroupBox1), "RadioGroup3");
    RadioGroup3->setItems({QString(), QString()});
    auto* pcGrid = new QGridLayout(GroupBox1);
    pcGrid->addWidget(Label1, 0, 0);
    pcGrid->addWidget(ComboBox1, 1, 0);
    pcGrid->addWidget(Label2, 2, 0);
    pcGrid->addWidget(ComboBox2, 3, 0);
    pcGrid->setRowStretch(4, 1);
    pcGrid->addWidget(RadioGroup1, 0, 1, 5, 1);
    pcGrid->addWidget(RadioGroup2, 0, 2, 5, 1);
    pcGrid->addWidget(RadioGroup3, 0, 3, 5, 1);

    GroupBox2 = named(new QGroupBox(this), "GroupBox2");

    GroupBox4 = named(new QGroupBox(GroupBox2), "GroupBox4");
    Label8 = named(new QLabel(GroupBox4), "Label8");
    Edit1 = makeCharBox(GroupBox4, "Edit1");
    auto* addressRow = new QHBoxLayout(GroupBox4);
    addressRow->addWidget(Label8);
    addressRow->addWidget(Edit1);
    addressRow->addStretch();

    GroupBox5 = named(new QGroupBox(GroupBox2), "GroupBox5");
    ComboBox8 = makeList(GroupBox5, "ComboBox8",
                         {u"---", u"Vorel", u"ISO 1745", u"ModBus", u"Host-Link esclavo de Omron", u"ASCII",
                          u"Host-Link maestro de Omron", u"Zurc", u"S7-200 de Siemens"});
    (new QVBoxLayout(GroupBox5))->addWidget(ComboBox8);

    GroupBox6 = named(new QGroupBox(GroupBox2), "GroupBox6");
    ComboBox9 = makeList(GroupBox6, "ComboBox9", {u"---", u"RS-232", u"RS-485"});
    (new QVBoxLayout(GroupBox6))->addWidget(ComboBox9);

    GroupBox3 = named(new QGroupBox(GroupBox2), "GroupBox3");
    Label3 = named(new QLabel(GroupBox3), "Label3");
    ComboBox3 = makeList(GroupBox3, "ComboBox3", QStringList{qs(u"---")} + speedItems());
    Label4 = named(new QLabel(GroupBox3), "Label4");
    ComboBox4 = makeList(GroupBox3, "ComboBox4", {u"---", u"Par", u"Impar", u"Sin paridad"});
    Label5 = named(new QLabel(GroupBox3), "Label5");
    ComboBox5 = makeList(GroupBox3, "ComboBox5", {u"---", u"1 bit de stop", u"2 bits de stop"});
    Label6 = named(new QLabel(GroupBox3), "Label6");
    ComboBox6 = makeList(GroupBox3, "ComboBox6", {u"---", u"7 bits de datos", u"8 bits de datos"});
    Label7 = named(new QLabel(GroupBox3), "Label7");
    ComboBox7 = makeList(GroupBox3, "ComboBox7", {u"---", u"RS-232", u"RS-485"});
    auto* commGrid = new QGridLayout(GroupBox3);
    int row = 0;
    for (auto [label, box] : {std::pair{Label3, ComboBox3}, std::pair{Label4, ComboBox4},
                              std::pair{Label5, ComboBox5}, std::pair{Label6, ComboBox6},
                              std::pair{Label7, ComboBox7}}) {
        commGrid->addWidget(label, row, 0);
        commGrid->addWidget(box, row, 1);
        ++row;
    }

    GroupBox7 = named(new QGroupBox(GroupBox2), "GroupBox7");
    ComboBox10 = makeList(GroupBox7, "ComboBox10",
                          {u"---", u"Sin tiempo", u"2 seg", u"4 seg", u"6 seg", u"8 seg", u"10 seg", u"14 seg",
                           u"20 seg", u"26 seg", u"30 seg", u"40 seg", u"1 min", u"2 min", u"5 min", u"10 min",
                           u"20 min", u"40 min", u"1 hora", u"2 horas", u"5 horas", u"10 horas", u"25 horas"});
    (new QVBoxLayout(GroupBox7))->addWidget(ComboBox10);

    GroupBox8 = named(new QGroupBox(QStringLiteral("Param. 6, 7, 8, 9 y A:"), GroupBox2), "GroupBox8");
    auto* paramGrid = new QGridLayout(GroupBox8);
    const char* labelNames[5] = {"Label9", "Label10", "Label11", "Label12", "Label13"};
    const char* labelTexts[5] = {"Param. 6:", "Param. 7:", "Param. 8:", "Param. 9:", "Param. A:"};
    const char* editNames[5] = {"Edit2", "Edit3", "Edit4", "Edit5", "Edit6"};
    QLabel** labels[5] = {&Label9, &Label10, &Label11, &Label12, &Label13};
    QLineEdit** edits[5] = {&Edit2, &Edit3, &Edit4, &Edit5, &Edit6};
    for (int i = 0; i < 5; ++i) {
        *labels[i] = named(new QLabel(QString::fromLatin1(labelTexts[i]), GroupBox8), labelNames[i]);
        *edits[i] = makeCharBox(GroupBox8, editNames[i]);
        paramGrid->addWidget(*labels[i], i, 0);
        paramGrid->addWidget(*edits[i], i, 1, Qt::AlignLeft);
    }

    auto* displayLeft = new QVBoxLayout;
    displayLeft->addWidget(GroupBox4);
    displayLeft->addWidget(GroupBox5);
    displayLeft->addWidget(GroupBox6);
    displayLeft->addStretch();
    auto* displayMiddle = new QVBoxLayout;
    displayMiddle->addWidget(GroupBox3);
    displayMiddle->addStretch();
    auto* displayRight = new QVBoxLayout;
    displayRight->addWidget(GroupBox7);
    displayRight->addWidget(GroupBox8);
    displayRight->addStretch();
    auto* displayColumns = new QHBoxLayout(GroupBox2);
    displayColumns->addLayout(displayLeft);
    displayColumns->addLayout(displayMiddle);
    displayColumns->addLayout(displayRight);
    // The display's parameters can only be looked at.
    GroupBox2->setEnabled(false);

    Button1 = named(new QPushButton(this), "Button1");
    Button3 = named(new QPushButton(this), "Button3");
    Button2 = named(new QPushButton(this), "Button2");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Button1, Button3, Button2}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(120);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button3, &QPushButton::clicked, this, &TForm5::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(GroupBox1);
    top->addStretch();
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addWidget(GroupBox2);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    const ParamTexts& t = languageRow(kTexts, kTexts.pick(TLanguage::Spanish), language);
    setWindowTitle(qs(t.window));
    GroupBox1->setTitle(qs(t.computer));
    Label1->setText(qs(t.port));
    Label2->setText(qs(t.baud));
    RadioGroup1->setTitle(qs(t.parity));
    for (int i = 0; i < 3; ++i)
        RadioGroup1->setItemText(i, qs(t.parityItems[i]));
    RadioGroup2->setTitle(qs(t.stopBits));
    RadioGroup3->setTitle(qs(t.dataBits));
    for (int i = 0; i < 2; ++i) {
        RadioGroup2->setItemText(i, qs(t.stopItems[i]));
        RadioGroup3->setItemText(i, qs(t.dataItems[i]));
    }
    GroupBox2->setTitle(qs(t.display));
    GroupBox4->setTitle(qs(t.param1));
    Label8->setText(qs(t.address));
    GroupBox5->setTitle(qs(t.param2));
    GroupBox6->setTitle(qs(t.param4));
    GroupBox3->setTitle(qs(t.param3));
    Label3->setText(qs(t.label3));
    Label4->setText(qs(t.label4));
    Label5->setText(qs(t.label5));
    Label6->setText(qs(t.label6));
    Label7->setText(qs(t.label7));
    GroupBox7->setTitle(qs(t.param5));
    Button1->setText(qs(t.read));
    Button3->setText(qs(t.accept));
    Button2->setText(qs(t.exit));
}

void TForm5::loadFrom(const TDisplayConfig& cfg)
{
    selectEntry(ComboBox1, cfg.PortIndex);
    selectEntry(ComboBox2, cfg.BaudIndex);
    RadioGroup1->setItemIndex(cfg.ParityIndex);
    RadioGroup2->setItemIndex(cfg.StopBitsIndex);
    RadioGroup3->setItemIndex(cfg.DataBitsIndex);

    const TDisplayParams& p = cfg.DisplayParams;
    Edit1->setText(charText(p.ParamAddress));
    selectEntry(ComboBox8, p.ParamProtocol);
    selectEntry(ComboBox3, p.ParamBaud);
    selectEntry(ComboBox4, p.ParamParity);
    selectEntry(ComboBox5, p.ParamStopBits);
    selectEntry(ComboBox6, p.ParamDataBits);
    selectEntry(ComboBox7, p.ParamLine);
    selectEntry(ComboBox9, p.ParamLineType);
    selectEntry(ComboBox10, p.ParamTimeout);
    Edit2->setText(charText(p.Param6));
    Edit3->setText(charText(p.Param7));
    Edit4->setText(charText(p.Param8));
    Edit5->setText(charText(p.Param9));
    Edit6->setText(charText(p.ParamA));
}

void TForm5::storeTo(TDisplayConfig& cfg) const
{
    if (const auto port = chosenItem(ComboBox1))
        cfg.PortIndex = indexByte(*port);
    if (const auto speed = chosenItem(ComboBox2))
        cfg.BaudIndex = indexByte(*speed);
    cfg.ParityIndex = indexByte(RadioGroup1->itemIndex());
    cfg.StopBitsIndex = indexByte(RadioGroup2->itemIndex());
    cfg.DataBitsIndex = indexByte(RadioGroup3->itemIndex());
}

void TForm5::accept()
{
    if (typedChoicesAcceptable(this, {{ComboBox1, Label1}, {ComboBox2, Label2}}, textLanguage(language_)))
        QDialog::accept();
}

void TForm5::Button1Click() {}
