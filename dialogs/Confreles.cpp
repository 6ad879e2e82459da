#include "dialogs/Confreles.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

#include "base/Formats.h"
#include "config/DigitClass.h"
#include "config/RecordFields.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/MaskEdit.h"
#include "dialogs/RadioGroup.h"

namespace {

struct RelayTexts {
    const char16_t* title;
    const char16_t* relay1;
    const char16_t* relay2;
    const char16_t* enable;
    const char16_t* delayCaption;
    const char16_t* timer;
    const char16_t* hysteresis;
    const char16_t* triggerCaption;
    const char16_t* high;
    const char16_t* low;
    const char16_t* delayText;
    const char16_t* levelText;
};

// Indexed by LanguageIndex: Catalan, Spanish, French, English.
constexpr TByLanguage<RelayTexts> kTexts{{
    {u"Configuració reles", u"Configuració rele 1", u"Configuració rele 2", u"Habilitat", u"Tipus de retard",
     u"Temporització", u"Histeresis", u"Nivell dispar", u"Alt (HI)", u"Baix (LO)", u"Temps de retard",
     u"Nivell de dispar"},
    {u"Configuración reles", u"Configuración rele 1", u"Configuración rele 2", u"Habilitado",
     u"Tipo de retardo", u"Temporización", u"Histeresis", u"Nivel disparo", u"Alto (HI)", u"Bajo (LO)",
     u"Tiempo de retardo", u"Nivel de disparo"},
    {u"Configuration relais", u"Configuration relai 1", u"Configuration relai 2", u"Habiliter",
     u"Mode de retard", u"Temporisation", u"Hystérésis", u"Seuil", u"Haut (HI)", u"Bas (LO)",
     u"Temps du retard", u"Mode d'activation"},
    {u"Setup relay", u"Setup relay 1", u"Setup relay 2", u"Enable", u"Delay type", u"Timer", u"Hysteresis",
     u"Threshold", u"High (HI)", u"Low (LO)", u"Delay time", u"Threshold"},
}};

// The texts the window is designed with.
constexpr RelayTexts kBuiltIn =
    {u"DADiz 1.0 - Configuración reles", u"Configuración rele 1", u"Configuración rele 2", u"Habilitado",
     u"Tipo de retardo", u"Temporización", u"Histeresis", u"Nivel disparo", u"Alto (HI)", u"Bajo (LO)",
     u"Tiempo de retardo", u"Nivel de disparo"};

// The delay label by delay kind: timer, then hysteresis (or none chosen).
// Outside the four languages the built-in (Spanish) labels apply.
constexpr TByLanguage<std::array<const char16_t*, 2>> kDelayLabels{{
    {u"Temps de retard", u"Valor de histeresis"},
    {u"Tiempo de retardo", u"Valor de histeresis"},
    {u"Temps du retard", u"Valeur hystérésis"},
    {u"Delay time", u"Hysteresis value"},
}};

} // namespace

TForm9::TForm9(QWidget* owner, int language) : QDialog(owner), language_(language)
{
    setObjectName(QStringLiteral("Form9"));
    setFont(dialogFont(12));
    buildRelay(1);
    buildRelay(2);

    Button1 = named(new QPushButton(QStringLiteral("Ok"), this), QStringLiteral("Button1"));
    Button2 = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("Button2"));
    for (QPushButton* b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* groups = new QHBoxLayout;
    groups->addWidget(GroupBox1);
    groups->addWidget(GroupBox2);
    QHBoxLayout* buttons = buttonRow(Button1, Button2);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(groups);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    const RelayTexts& t = languageRow(kTexts, kBuiltIn, language);
    setWindowTitle(qs(t.title));
    GroupBox1->setTitle(qs(t.relay1));
    GroupBox2->setTitle(qs(t.relay2));
    for (int which : {1, 2}) {
        const Relay r = relay(which);
        r.enabled->setText(qs(t.enable));
        r.delayType->setTitle(qs(t.delayCaption));
        r.delayType->setItemText(0, qs(t.timer));
        r.delayType->setItemText(1, qs(t.hysteresis));
        r.trigger->setTitle(qs(t.triggerCaption));
        r.trigger->setItemText(0, qs(t.high));
        r.trigger->setItemText(1, qs(t.low));
        r.delayLabel->setText(qs(t.delayText));
        r.levelLabel->setText(qs(t.levelText));
    }
}

void TForm9::buildRelay(int which)
{
    const QString n = QString::number(which);
    auto* group = named(new QGroupBox(this), QStringLiteral("GroupBox") + n);
    auto* enabled = named(new QCheckBox(group), QStringLiteral("CheckBox") + n);
    auto* delayType = named(new TRadioGroup(group), QStringLiteral("Temporitzacio") + n);
    delayType->setItems({QString(), QString()});
    auto* trigger = named(new TRadioGroup(group), QStringLiteral("NivellDispar") + n);
    trigger->setItems({QString(), QString()});
    auto* delayLabel = named(new QLabel(group), QStringLiteral("TextRetard") + n);
    auto* delay = named(new TMaskEdit(group), QStringLiteral("ValRetard") + n);
    delay->setMask(recordField(which == 1 ? &TDisplayConfig::Relay1Delay : &TDisplayConfig::Relay2Delay).mask({}));
    delay->setFixedWidth(60);
    auto* levelLabel = named(new QLabel(group), QStringLiteral("TextNivell") + n);
    auto* level = named(new TMaskEdit(group), QStringLiteral("ValNivell") + n);
    level->setFixedWidth(84);

    auto* grid = new QGridLayout(group);
    grid->addWidget(enabled, 0, 0, 1, 2);
    grid->addWidget(delayType, 1, 0);
    grid->addWidget(trigger, 1, 1);
    grid->addWidget(delayLabel, 2, 0);
    grid->addWidget(delay, 2, 1, Qt::AlignLeft);
    grid->addWidget(levelLabel, 3, 0);
    grid->addWidget(level, 3, 1, Qt::AlignLeft);
    styleCaption(group, QColor(0x00, 0x80, 0x80), true);

    relayMembers(*this, which) = std::tie(group, enabled, delayType, trigger, delayLabel, delay, levelLabel, level);
    connect(enabled, &QCheckBox::toggled, this, which == 1 ? &TForm9::CheckBox1Click : &TForm9::CheckBox2Click);
    connect(delayType, &TRadioGroup::itemChanged, this,
        which == 1 ? &TForm9::Temporitzacio1Click : &TForm9::Temporitzacio2Click);
}

TForm9::Relay TForm9::relay(int which) const
{
    const auto [group, enabled, delayType, trigger, delayLabel, delay, levelLabel, level] = relayMembers(*this, which);
    return {group, enabled, delayType, trigger, delayLabel, delay, levelLabel, level};
}

void TForm9::applyEnabling(const Relay& r)
{
    const bool on = r.enabled->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{r.delayType, r.trigger, r.delayLabel, r.levelLabel,
                                                      r.delay, r.level})
        w->setEnabled(on);
    r.trigger->setItemIndex(on ? 0 : -1);
}

void TForm9::applyDelayLabel(const Relay& r)
{
    const auto& labels = languageRow(kDelayLabels, kDelayLabels.pick(TLanguage::Spanish), language_);
    r.delayLabel->setText(qs(labels[r.delayType->itemIndex() == 0 ? 0 : 1]));
}

void TForm9::CheckBox1Click()
{
    applyEnabling(relay(1));
}

void TForm9::CheckBox2Click()
{
    applyEnabling(relay(2));
}

void TForm9::Temporitzacio1Click()
{
    applyDelayLabel(relay(1));
}

void TForm9::Temporitzacio2Click()
{
    applyDelayLabel(relay(2));
}

void TForm9::loadFrom(const TDisplayConfig& cfg)
{
    for (int n : {1, 2})
        loadRelay(relay(n), cfg.relay(n), cfg);
}

void TForm9::loadRelay(const Relay& r, TConstRelayFields fields, const TDisplayConfig& cfg)
{
    // The group starts with nothing chosen, so this runs the label rule.
    r.delayType->setItemIndex(fields.DelayType == '0' ? 0 : 1);

    // A relay off opens with its controls disabled, as unchecking its box leaves them.
    {
        const QSignalBlocker quiet(r.enabled);
        r.enabled->setChecked(fields.Enabled != 0);
    }
    applyEnabling(r);
    if (fields.Enabled != 0)
        r.trigger->setItemIndex(fields.TriggerLevel == '0' ? 0 : 1);

    // The field holds three digits; a delay beyond them shows as the nearest one it holds.
    const TFieldLimits delay = recordFieldAt(cfg, &fields.Delay).limitsIn(cfg);
    r.delay->setText(cfmt("%03d", static_cast<int>(std::clamp<long long>(fields.Delay, delay.low, delay.high))));

    r.level->setMask(recordFieldAt(cfg, &fields.Setpoint).mask(fieldContext(cfg)));
    r.level->setText(digitclass::countText(fields.Setpoint, digitclass::width(digitclass::of(cfg.DigitsIndex))));
}

void TForm9::storeTo(TDisplayConfig& cfg) const
{
    for (int n : {1, 2})
        storeRelay(relay(n), cfg.relay(n));
}

void TForm9::storeRelay(const Relay& r, TRelayFields fields) const
{
    fields.DelayType = r.delayType->itemIndex() == 0 ? '0' : '1';
    fields.Enabled = r.enabled->isChecked() ? 1 : 0;
    fields.TriggerLevel = r.trigger->itemIndex() == 0 ? '0' : '1';
    fields.Delay = textToInt(r.delay->valueText());
    fields.Setpoint = r.level->count();
}
