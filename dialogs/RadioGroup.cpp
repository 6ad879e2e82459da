#include "dialogs/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

TRadioGroup::TRadioGroup(QWidget* parent)
    : QGroupBox(parent), group_(new QButtonGroup(this)), grid_(new QGridLayout(this))
{
    grid_->setContentsMargins(8, 4, 8, 4);
    grid_->setVerticalSpacing(2);
    connect(group_, &QButtonGroup::idToggled, this, &TRadioGroup::noticeChange);
}

void TRadioGroup::setItems(const QStringList& items)
{
    for (QRadioButton* b : buttons_) {
        group_->removeButton(b);
        delete b;
    }
    buttons_.clear();
    noticeChange();
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        b->setObjectName(objectName() + QStringLiteral("_item%1").arg(i));
        group_->addButton(b, i);
        buttons_.append(b);
    }
    relayout();
}

void TRadioGroup::setItemText(int index, const QString& text)
{
    if (QRadioButton* b = button(index))
        b->setText(text);
}

QRadioButton* TRadioGroup::button(int index) const
{
    return index >= 0 && index < buttons_.size() ? buttons_[index] : nullptr;
}

void TRadioGroup::setColumns(int columns)
{
    columns_ = columns < 1 ? 1 : columns;
    relayout();
}

void TRadioGroup::relayout()
{
    for (QRadioButton* b : buttons_)
        grid_->removeWidget(b);
    for (int i = 0; i < buttons_.size(); ++i)
        grid_->addWidget(buttons_[i], i / columns_, i % columns_);
}

int TRadioGroup::itemIndex() const
{
    for (int i = 0; i < buttons_.size(); ++i)
        if (buttons_[i]->isChecked())
            return i;
    return -1;
}

// A change of item toggles two buttons; the second toggle finds nothing new.
void TRadioGroup::noticeChange()
{
    const int now = itemIndex();
    if (now == chosen_)
        return;
    chosen_ = now;
    emit itemChanged(now);
}

void TRadioGroup::setItemIndex(int index)
{
    if (QRadioButton* b = button(index)) {
        b->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its last checked button.
    group_->setExclusive(false);
    for (QRadioButton* b : buttons_)
        b->setChecked(false);
    group_->setExclusive(true);
}
