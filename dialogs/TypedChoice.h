#pragma once
#include <QString>

#include <initializer_list>
#include <optional>
#include <utility>

#include "base/Language.h"

class QComboBox;
class QLabel;
class QWidget;

// List boxes that also take typed text. A typed text names an item when it
// is the item's text give or take letter case and blanks ("com3" for
// "COM 3"), or the same whole number ("5" and "05" for "05"). A text that
// names no item is refused: it is never taken as "no item".

// The item `typed` names, -1 when it names none.
int itemNamedBy(const QComboBox* box, const QString& typed);

// Makes `box` editable under that rule: when typing ends (Enter, leaving the
// box) a text that names an item selects it, and one that names none is
// shown as refused until it is changed.
void takeTypedChoices(QComboBox* box);

// The item the box stands for: the one its text names, -1 when it shows no
// text at all; nothing when its text names no item.
std::optional<int> chosenItem(const QComboBox* box);

// Shown in red: its text names no item.
bool isRefused(const QComboBox* box);

// Before the dialog's OK: true when the text of every box names an item or is
// empty. Otherwise marks the boxes whose text names none, says why in a
// message in `language` (each box named by the caption of its label), puts
// the focus on the first of them and returns false.
bool typedChoicesAcceptable(QWidget* dialog, std::initializer_list<std::pair<QComboBox*, const QLabel*>> boxes,
                            TLanguage language);
