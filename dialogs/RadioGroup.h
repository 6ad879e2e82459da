#pragma once
#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

// A framed group of mutually exclusive choices addressed by index, -1 meaning
// none is chosen.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    // Replaces the choices; afterwards none is chosen.
    void setItems(const QStringList& items);
    void setItemText(int index, const QString& text);
    int count() const { return int(buttons_.size()); }
    QRadioButton* button(int index) const;

    // Items are laid out row by row in this many columns (1 by default).
    void setColumns(int columns);

    int itemIndex() const;
    // Chooses an item; -1 or an index outside the list leaves nothing chosen.
    void setItemIndex(int index);

signals:
    // The chosen item changed, whatever changed it: mouse, keys, an assistive
    // tool or code. -1 when none is chosen any more.
    void itemChanged(int index);

private:
    void relayout();
    void noticeChange();

    QButtonGroup* group_;
    QGridLayout* grid_;
    QList<QRadioButton*> buttons_;
    int columns_ = 1;
    int chosen_ = -1;
};
