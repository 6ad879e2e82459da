#include "dialogs/TypedChoice.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QStringList>

#include "base/Texts.h"

namespace {

const char* const kRefusedProperty = "typedTextRefused";

// %1 the box's caption, %2 what was typed, %3 the items.
const TTexts kNotInList = {
    "%1: \"%2\" no és a la llista (%3).",
    "%1: \"%2\" no está en la lista (%3).",
    "%1 : « %2 » n'est pas dans la liste (%3).",
    "%1: \"%2\" is not in the list (%3).",
};
const TTexts kChooseFromList = {
    "Trieu un valor de la llista.",
    "Elija un valor de la lista.",
    "Choisissez une valeur de la liste.",
    "Choose a value from the list.",
};

QString withoutBlanks(const QString& text)
{
    QString out;
    for (QChar c : text)
        if (!c.isSpace())
            out += c;
    return out.toCaseFolded();
}

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// Digits without their leading zeros, so that numbers of any length compare.
QString plainNumber(const QString& digits)
{
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == u'0')
        ++first;
    return digits.mid(first);
}

void markRefused(QComboBox* box, bool refused)
{
    if (box->property(kRefusedProperty).toBool() == refused)
        return;
    box->setProperty(kRefusedProperty, refused);
    QLineEdit* edit = box->lineEdit();
    if (!edit)
        return;
    if (refused) {
        QPalette p = edit->palette();
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
            p.setColor(g, QPalette::Text, Qt::red);
        edit->setPalette(p);
    } else {
        edit->setPalette(QPalette());
    }
}

// Typing has ended: a text that names an item becomes that item's text.
void settle(QComboBox* box)
{
    const QString typed = box->currentText();
    if (typed.trimmed().isEmpty()) {
        box->setCurrentIndex(-1);
        box->setEditText(QString());
        return;
    }
    const int item = itemNamedBy(box, typed);
    if (item < 0) {
        markRefused(box, true);
        return;
    }
    box->setCurrentIndex(item);
    box->setEditText(box->itemText(item));
}

QString itemsOf(const QComboBox* box)
{
    // No-break spaces keep a range on one line when the message wraps.
    if (box->count() > 6)
        return box->itemText(0) + QStringLiteral("\u00A0..\u00A0") + box->itemText(box->count() - 1);
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items.join(QStringLiteral(", "));
}

QString captionOf(const QLabel* label)
{
    QString caption = label ? label->text().trimmed() : QString();
    while (caption.endsWith(u':'))
        caption.chop(1);
    return caption;
}

} // namespace

int itemNamedBy(const QComboBox* box, const QString& typed)
{
    const QString wanted = withoutBlanks(typed);
    if (wanted.isEmpty())
        return -1;
    const bool number = allDigits(wanted);
    for (int i = 0; i < box->count(); ++i) {
        const QString item = withoutBlanks(box->itemText(i));
        if (item == wanted || (number && allDigits(item) && plainNumber(item) == plainNumber(wanted)))
            return i;
    }
    return -1;
}

void takeTypedChoices(QComboBox* box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    QLineEdit* edit = box->lineEdit();
    QObject::connect(edit, &QLineEdit::editingFinished, box, [box] { settle(box); });
    QObject::connect(edit, &QLineEdit::textChanged, box, [box] { markRefused(box, false); });
}

std::optional<int> chosenItem(const QComboBox* box)
{
    const QString text = box->currentText();
    if (text.trimmed().isEmpty())
        return -1;
    const int item = itemNamedBy(box, text);
    if (item < 0)
        return std::nullopt;
    return item;
}

bool isRefused(const QComboBox* box)
{
    return box->property(kRefusedProperty).toBool();
}

bool typedChoicesAcceptable(QWidget* dialog, std::initializer_list<std::pair<QComboBox*, const QLabel*>> boxes,
                            TLanguage language)
{
    QStringList reasons;
    QComboBox* first = nullptr;
    for (const auto& [box, label] : boxes) {
        if (chosenItem(box)) {
            settle(box);
            continue;
        }
        markRefused(box, true);
        if (!first)
            first = box;
        reasons << QString::fromStdString(fillIn(kNotInList.pick(language),
                                                 {captionOf(label).toStdString(), box->currentText().toStdString(),
                                                  itemsOf(box).toStdString()}));
    }
    if (!first)
        return true;
    reasons << QString::fromUtf8(kChooseFromList.pick(language));
    QMessageBox::warning(dialog, dialog->windowTitle(), reasons.join(u'\n'));
    // Not selected, so that the red text shows.
    first->setFocus();
    return false;
}
