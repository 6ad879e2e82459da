#include "dialogs/Conflinser.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "config/DisplayConfig.h"
#include "base/Formats.h"
#include "base/Texts.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/TypedChoice.h"
#include "serial/PortMap.h"

namespace {

QList<QRadioButton*> radioButtons(const QGroupBox* group)
{
    return group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
}

QGroupBox* makeRadioGroup(const char* name, int items, QWidget* parent)
{
    auto* box = named(new QGroupBox(parent), QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(box);
    auto* buttons = new QButtonGroup(box);
    for (int i = 0; i < items; ++i) {
        auto* b = named(new QRadioButton(box), QStringLiteral("%1Item%2").arg(QString::fromLatin1(name)).arg(i));
        buttons->addButton(b, i);
        layout->addWidget(b);
    }
    layout->addStretch();
    return box;
}

QComboBox* makeCombo(const char* name, const QString& initialText, const QStringList& items, QWidget* parent)
{
    auto* combo = named(new QComboBox(parent), QString::fromLatin1(name));
    combo->addItems(items);
    takeTypedChoices(combo);
    combo->lineEdit()->setPlaceholderText(initialText);
    combo->setCurrentIndex(-1);
    return combo;
}

std::uint8_t asByte(int index) { return static_cast<std::uint8_t>(index); }

// The box's item into `field`; a typed text that names no item leaves it as it is.
void storeChoice(const QComboBox* combo, std::uint8_t& field)
{
    if (const auto item = chosenItem(combo))
        field = asByte(*item);
}

// A stored byte widened as a signed value: 255 becomes -1, no item.
int asIndex(std::uint8_t value) { return static_cast<std::int8_t>(value); }

void setComboIndex(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

struct Texts {
    const char16_t* caption;
    const char16_t* label1;
    const char16_t* label2;
    const char16_t* label3;
    const char16_t* label4;
    const char16_t* device;
    const char16_t* parity;
    const char16_t* parityItems[3];
    const char16_t* stop;
    const char16_t* stopItems[2];
    const char16_t* data;
    const char16_t* dataItems[2];
};

// The texts the window is designed with.
const Texts kBuiltIn = {
    u"DADiz 1.0 - Configurar visualizador", u"Ordenador", u"Velocidad", u"Dirección visualizador",
    u"Numero de digitos", u"Dispositivo", u"Paridad", {u"Par", u"Impar", u"Sin paridad"},
    u"Bits de stop", {u"1 bit stop", u"2 bits de stop"}, u"Bits de datos",
    {u"7 bits de datos", u"8 bits de datos"}};

const TByLanguage<Texts> kRows{{
    {u"Configurar visualitzador", u"Ordinador", u"Velocitat", u"Adreça del visualitzador",
     u"Nombre de digits", u"Dispositiu", u"Paritat", {u"Parell", u"Imparell", u"Sense paritat"},
     u"Bits de stop", {u"1 bits stop", u"2 bits stop"}, u"Bits de dades",
     {u"7 bits de dades", u"8 bits de dades"}},
    {u"Configurar visualizador", u"Ordenador", u"Velocidad", u"Dirección del visualizador",
     u"Numero de digitos", u"Dispositivo", u"Paridad", {u"Par", u"Impar", u"Sin paridad"},
     u"Bits de stop", {u"1 bits stop", u"2 bits stop"}, u"Bits de datos",
     {u"7 bits de datos", u"8 bits de datos"}},
    {u"Configurer afficheur", u"Ordinateur", u"Vitesse", u"Adresse du afficheur",
     u"Nombre de chiffres", u"Périphérique", u"Parite", {u"Paire", u"Impair", u"Sans parite"},
     u"Bits de stop", {u"1 bits stop", u"2 bits stop"}, u"Bits de donnes",
     {u"7 bits de donnes", u"8 bits de donnes"}},
    {u"Setup display", u"PC computer", u"Baud rate", u"Display address", u"Digit number", u"Device",
     u"Parity", {u"Even", u"Odd", u"No parity"}, u"Stop bits", {u"1 stop bits", u"2 stop bits"},
     u"Data Bits", {u"7 data bits", u"8 data bits"}},
}};

} // namespace

int radioIndex(const QGroupBox* group)
{
    const auto buttons = radioButtons(group);
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons[i]->isChecked())
            return i;
    return -1;
}

void setRadioIndex(QGroupBox* group, int index)
{
    auto* exclusive = group->findChild<QButtonGroup*>();
    // An exclusive group cannot uncheck its last button.
    if (exclusive)
        exclusive->setExclusive(false);
    const auto buttons = radioButtons(group);
    for (int i = 0; i < buttons.size(); ++i)
        buttons[i]->setChecked(i == index);
    if (exclusive)
        exclusive->setExclusive(true);
}

TForm2::TForm2(QWidget* owner, int language) : QDialog(owner), language_(language)
{
    setObjectName(QStringLiteral("Form2"));
    setFont(dialogFont(13));

    QStringList ports, addresses, digits;
    for (int i = 1; i <= 6; ++i)
        ports << QString::fromStdString(cfmt("COM %d", i));
    for (int i = 0; i <= 31; ++i)
        addresses << QString::fromStdString(cfmt("%02d", i));
    for (int i = 2; i <= 10; ++i)
        digits << QString::fromStdString(cfmt("%d", i));

    ComboBox1 = makeCombo("ComboBox1", QStringLiteral("Selecionar COM"), ports, this);
    ComboBox2 = makeCombo("ComboBox2", QStringLiteral("Seleccionar velocidad"), speedItems(), this);
    ComboBox3 = makeCombo("ComboBox3", QString::fromUtf8("Adreça Visu"), addresses, this);
    Digits = makeCombo("Digits", QStringLiteral("Digits"), digits, this);

    PortDevice = named(new QComboBox(this), QStringLiteral("PortDevice"));
    PortDevice->setEditable(true);
    PortDevice->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& d : listSerialDevices())
        PortDevice->addItem(QString::fromStdString(d));
    PortDevice->setMinimumContentsLength(24);
    PortDevice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    Label1 = named(new QLabel(this), QStringLiteral("Label1"));
    Label2 = named(new QLabel(this), QStringLiteral("Label2"));
    Label3 = named(new QLabel(this), QStringLiteral("Label3"));
    Label4 = named(new QLabel(this), QStringLiteral("Label4"));
    DeviceLabel = named(new QLabel(this), QStringLiteral("DeviceLabel"));

    RadioGroup1 = makeRadioGroup("RadioGroup1", 3, this);
    RadioGroup2 = makeRadioGroup("RadioGroup2", 2, this);
    RadioGroup3 = makeRadioGroup("RadioGroup3", 2, this);

    Button1 = named(new QPushButton(QStringLiteral("Ok"), this), QStringLiteral("Button1"));
    Button2 = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("Button2"));
    Button1->setFont(dialogFont(19, true));
    Button2->setFont(dialogFont(19, true));
    Button1->setStyleSheet(QStringLiteral("color: green;"));
    Button2->setStyleSheet(QStringLiteral("color: maroon;"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm2::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(DeviceLabel, 0, 1, 1, 2);
    grid->addWidget(ComboBox1, 1, 0);
    grid->addWidget(PortDevice, 1, 1, 1, 2);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(ComboBox2, 3, 0);
    grid->addWidget(RadioGroup1, 4, 0);
    grid->addWidget(RadioGroup2, 4, 1);
    grid->addWidget(RadioGroup3, 4, 2);
    grid->addWidget(Label3, 5, 0);
    grid->addWidget(Label4, 5, 1, 1, 2);
    grid->addWidget(ComboBox3, 6, 0);
    grid->addWidget(Digits, 6, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addSpacing(8);
    main->addLayout(buttons);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TForm2::showDeviceOfSelectedPort);
    showDeviceOfSelectedPort();

    setLanguage(language);
}

void TForm2::setLanguage(int language)
{
    const Texts& t = languageRow(kRows, kBuiltIn, language);
    setWindowTitle(qs(t.caption));
    Label1->setText(qs(t.label1));
    Label2->setText(qs(t.label2));
    Label3->setText(qs(t.label3));
    Label4->setText(qs(t.label4));
    DeviceLabel->setText(qs(t.device));
    RadioGroup1->setTitle(qs(t.parity));
    RadioGroup2->setTitle(qs(t.stop));
    RadioGroup3->setTitle(qs(t.data));
    const auto p = radioButtons(RadioGroup1), s = radioButtons(RadioGroup2), d = radioButtons(RadioGroup3);
    for (int i = 0; i < 3; ++i)
        p[i]->setText(qs(t.parityItems[i]));
    for (int i = 0; i < 2; ++i) {
        s[i]->setText(qs(t.stopItems[i]));
        d[i]->setText(qs(t.dataItems[i]));
    }
}

void TForm2::accept()
{
    if (typedChoicesAcceptable(this, {{ComboBox1, Label1}, {ComboBox2, Label2}, {ComboBox3, Label3}, {Digits, Label4}},
                               textLanguage(language_)))
        QDialog::accept();
}

void TForm2::showDeviceOfSelectedPort()
{
    const int index = chosenItem(ComboBox1).value_or(-1);
    PortDevice->setEnabled(index >= 0);
    PortDevice->setEditText(index >= 0 ? QString::fromStdString(resolvePortPath(cfmt("COM%d", index + 1)))
                                       : QString());
}

void TForm2::loadFrom(const TDisplayConfig& cfg)
{
    setComboIndex(ComboBox1, asIndex(cfg.PortIndex));
    setComboIndex(ComboBox2, asIndex(cfg.BaudIndex));
    setRadioIndex(RadioGroup1, asIndex(cfg.ParityIndex));
    setRadioIndex(RadioGroup2, asIndex(cfg.StopBitsIndex));
    setRadioIndex(RadioGroup3, asIndex(cfg.DataBitsIndex));
    setComboIndex(ComboBox3, asIndex(cfg.Address));
    setComboIndex(Digits, asIndex(cfg.DigitsIndex));
    showDeviceOfSelectedPort();
}

void TForm2::storeTo(TDisplayConfig& cfg) const
{
    storeChoice(ComboBox1, cfg.PortIndex);
    storeChoice(ComboBox2, cfg.BaudIndex);
    cfg.ParityIndex = asByte(radioIndex(RadioGroup1));
    cfg.StopBitsIndex = asByte(radioIndex(RadioGroup2));
    cfg.DataBitsIndex = asByte(radioIndex(RadioGroup3));
    storeChoice(ComboBox3, cfg.Address);
    storeChoice(Digits, cfg.DigitsIndex);

    const int com = chosenItem(ComboBox1).value_or(-1) + 1;
    if (com < 1)
        return;
    std::string device = PortDevice->currentText().trimmed().toStdString();
    // A bare name ("ttyUSB0") means the device of that name under /dev.
    if (!device.empty() && device.front() != '/')
        device = "/dev/" + device;
    if (device == resolvePortPath(cfmt("COM%d", com)) || setMappedDevice(com, device))
        return;
    // The rest of the line settings still apply; only the device is not kept.
    static const TTexts kNotKept{"No s'ha pogut desar el dispositiu %1 per a COM%2 a %3: COM%2 continua fent servir %4.",
        "No se ha podido guardar el dispositivo %1 para COM%2 en %3: COM%2 sigue usando %4.",
        "Le périphérique %1 de COM%2 n'a pas pu être enregistré dans %3 : COM%2 utilise toujours %4.",
        "The device %1 of COM%2 could not be recorded in %3: COM%2 still uses %4."};
    QMessageBox::warning(parentWidget(), windowTitle(),
                         QString::fromStdString(fillIn(kNotKept.pick(textLanguage(language_)),
                                                       {escapedControls(device), std::to_string(com), settingsFilePath(),
                                                        resolvePortPath(cfmt("COM%d", com))})));
}
