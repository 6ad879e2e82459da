#include "dialogs/Password.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/DialogSupport.h"

namespace {

struct PasswordTexts {
    const char16_t* caption;
    const char16_t* prompt1;
    const char16_t* prompt2;
    const char16_t* accept;
    const char16_t* exit;
};

// Indexed by LanguageIndex: Catalan, Spanish, French, English. Any other
// index keeps the built-in texts, which are the Spanish ones.
constexpr TByLanguage<PasswordTexts> kTexts{{
    {u"Password", u"Entrar password per accedir a la finetra", u"de calibració de la línia analògica",
     u"Acceptar", u"Salir"},
    {u"Password", u"Entrar password para acceder a la ventana", u"de calibración de la línea analógica",
     u"Aceptar", u"Salir"},
    {u"Mot de passe", u"Entrée le mot de passe pour accéeder au fenêtre",
     u"de calibration de la entrée analogique", u"Accepter", u"Quitter"},
    {u"Password", u"Enter password to access window", u"setup analog input", u"Ok", u"Exit"},
}};

constexpr int kPasswordLength = 8;

} // namespace

TForm7::TForm7(QWidget* owner, int language) : QDialog(owner)
{
    setObjectName(QStringLiteral("Form7"));
    setFont(dialogFont(12));

    Label1 = named(new QLabel(this), "Label1");
    Label2 = named(new QLabel(this), "Label2");
    for (QLabel* l : {Label1, Label2})
        l->setAlignment(Qt::AlignHCenter);
    // Keeps the two buttons apart when the prompt is short.
    Label1->setMinimumWidth(300);

    MaskEdit1 = named(new QLineEdit(this), "MaskEdit1");
    MaskEdit1->setMaxLength(kPasswordLength);
    MaskEdit1->setEchoMode(QLineEdit::Password);
    // Asterisks whatever the style's own mask character is.
    MaskEdit1->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    MaskEdit1->setFixedWidth(120);
    auto* field = new QHBoxLayout;
    field->addStretch();
    field->addWidget(MaskEdit1);
    field->addStretch();

    Button1 = named(new QPushButton(this), "Button1");
    Button2 = named(new QPushButton(this), "Button2");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addStretch();
    buttons->addWidget(Button2);
    for (QPushButton* b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
    // Enter accepts what was typed; Escape leaves as "Salir" does.
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(16, 12, 16, 12);
    outer->setSpacing(4);
    outer->addWidget(Label1);
    outer->addWidget(Label2);
    outer->addSpacing(12);
    outer->addLayout(field);
    outer->addSpacing(16);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    const PasswordTexts& t = languageRow(kTexts, kTexts.pick(TLanguage::Spanish), language);
    setWindowTitle(qs(t.caption));
    Label1->setText(qs(t.prompt1));
    Label2->setText(qs(t.prompt2));
    Button1->setText(qs(t.accept));
    Button2->setText(qs(t.exit));
    MaskEdit1->setFocus();
}

QString TForm7::enteredText() const
{
    return MaskEdit1->text();
}
