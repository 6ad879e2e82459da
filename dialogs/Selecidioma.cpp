#include "dialogs/Selecidioma.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include "dialogs/DialogSupport.h"


namespace {

struct LanguageTexts {
    const char16_t* caption;
    const char16_t* group;
    const char16_t* choices[4];
};

// Indexed by LanguageIndex: Catalan, Spanish, French, English.
constexpr TByLanguage<LanguageTexts> kTexts{{
    {u"Idioma", u"Seleccionar idioma", {u"Català", u"Castellà", u"Francès", u"Angles"}},
    {u"Idioma", u"Seleccionar idioma", {u"Catalan", u"Castellano", u"Frances", u"Ingles"}},
    {u"Langue", u"Choisir langue", {u"Catalan", u"Espagnol", u"Français", u"Anglais"}},
    {u"Language", u"Select language", {u"Catalan", u"Spanish", u"French", u"English"}},
}};

// The texts the window is designed with.
constexpr LanguageTexts kBuiltIn = {
    u"Idioma", u"Seleccionar idioma", {u"Catala", u"Castella", u"Frances", u"Angles"}};

// The flags' pictures, drawn at build time at their size and twice that.
constexpr const char* kFlags[4] = {"catalonia", "spain", "france", "uk"};

constexpr int kFlagWidth = 100;
constexpr int kFlagHeight = 60;

// At the screen's pixel density, so the flag stays sharp on scaled displays:
// the picture of double size for any density above 1, scaled smoothly to the
// density when it is neither 1 nor 2.
QPixmap flagPixmap(const char* flag, qreal dpr)
{
    const QSize size(kFlagWidth, kFlagHeight);
    const bool doubled = dpr > 1;
    const QSize drawn = doubled ? size * 2 : size;
    QImage image = readPng(QStringLiteral(":/flags/%1-%2x%3.png")
                               .arg(QLatin1String(flag)).arg(drawn.width()).arg(drawn.height()));
    const QSize wanted = size * dpr;
    if (image.size() != wanted)
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

} // namespace

TForm10::TForm10(QWidget* owner, int language) : QDialog(owner)
{
    setObjectName(QStringLiteral("Form10"));
    setFixedSize(277, 466);

    const LanguageTexts& texts = languageRow(kTexts, kBuiltIn, language);
    setWindowTitle(qs(texts.caption));

    SelecIdioma = named(new QGroupBox(qs(texts.group), this), QStringLiteral("SelecIdioma"));
    SelecIdioma->setGeometry(16, 12, 245, 384);

    choiceGroup = new QButtonGroup(this);
    QLabel** images[4] = {&Image1, &Image2, &Image3, &Image4};
    const qreal dpr = devicePixelRatioF();
    for (int i = 0; i < 4; ++i) {
        const int rowTop = 32 + i * 86;
        auto* choice =
            named(new QRadioButton(qs(texts.choices[i]), SelecIdioma), QStringLiteral("SelecIdioma%1").arg(i));
        choice->setGeometry(16, rowTop + 18, 110, 24);
        choiceGroup->addButton(choice, i);
        Choices[i] = choice;

        auto* image = named(new QLabel(SelecIdioma), QStringLiteral("Image%1").arg(i + 1));
        image->setGeometry(128, rowTop, kFlagWidth, kFlagHeight);
        image->setPixmap(flagPixmap(kFlags[i], dpr));
        *images[i] = image;
    }

    Button1 = named(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("Button1"));
    Button1->setGeometry(30, 414, 97, 33);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    Button2 = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("Button2"));
    Button2->setGeometry(150, 414, 97, 33);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    // OK with no language chosen would store a language that does not exist.
    connect(choiceGroup, &QButtonGroup::idToggled, this, [this] { updateOkButton(); });
    updateOkButton();
}

void TForm10::setItemIndex(int index)
{
    if (index >= 0 && index < 4) {
        Choices[index]->setChecked(true);
    } else if (QAbstractButton* checked = choiceGroup->checkedButton()) {
        // An exclusive group never lets its checked button go by itself.
        choiceGroup->setExclusive(false);
        checked->setChecked(false);
        choiceGroup->setExclusive(true);
    }
    updateOkButton();
}

int TForm10::itemIndex() const
{
    return choiceGroup->checkedId();
}

void TForm10::updateOkButton()
{
    Button1->setEnabled(itemIndex() >= 0);
}
