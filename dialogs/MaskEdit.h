#pragma once
#include <QLineEdit>

#include <cstdint>
#include <optional>
#include <string>

#include "config/DigitClass.h"

// A numeric field mask "pattern;literal;blank":
//   pattern  '!' first: a value text shorter than the field is right-aligned;
//            '#' a digit, '+' or '-'; '9' a digit; '.' a fixed decimal point;
//   literal  "1": the point is part of the value text, "0": it is not;
//   blank    the character shown in unfilled positions ('0' or ' ').
// The value text holds one character per '#'/'9' position (plus the point
// when literal is "1"); unfilled positions are spaces in it.
struct TFieldMask {
    bool rightAligned = false;
    std::string positions; // '#', '9' and '.' only
    bool pointInValue = false;
    char blank = ' ';

    int slotCount() const;     // '#' and '9' positions
    int integerSlots() const;  // positions before the point (all when there is none)
    int fractionSlots() const; // positions after the point
    bool hasPoint() const;
    bool signAllowed() const;  // the first position is '#'
};

TFieldMask parseFieldMask(const std::string& mask);

// Puts a value text into the positions character by character: a text shorter than
// the field is aligned as the mask says, a longer one loses its excess
// characters on the side opposite the alignment; a character that its
// position does not admit becomes unfilled.
std::string placeValueText(const TFieldMask& mask, const std::string& valueText);

// Puts a number written as a person writes it ("12.34", "-5", ".5", "0,5")
// into the positions: the sign in the first position, integer digits right-aligned
// up to the point, decimals left-aligned after it; zeros fill the positions
// between a sign and the first digit. Leading and trailing blanks are allowed.
// Empty when the text is not such a number or does not fit.
std::optional<std::string> placeTypedNumber(const TFieldMask& mask, const std::string& typed);

// The text the field shows for the given positions: the point in place, unfilled
// positions drawn with the blank character.
std::string renderMasked(const TFieldMask& mask, const std::string& cells);

// The value text of the given positions (the point inserted when it belongs to it).
std::string valueTextOf(const TFieldMask& mask, const std::string& cells);

// A value text read as a count: spaces among the first six characters count
// as '0', then a signed decimal integer; nothing readable is 0.
std::int32_t countOfValueText(const std::string& valueText);


// The masked numeric entry field. The person types a number the way it is
// written; how keys map onto the positions:
//   - digits, a sign (first character only) and '.' or ',' (only when the mask
//     has a point) are accepted; every other key, and every edit whose result
//     would not fit the mask, is refused and leaves the field as it was;
//   - while the field is being edited it shows the text as typed; the typed
//     number then goes into the positions as placeTypedNumber does, so "12.3"
//     in "!#99.99" is the value text " 123 " (count 1230);
//   - Enter or leaving the field redraws it in the mask's form ("012.30");
//   - Backspace, Delete, cursor keys, selection, cut, paste and undo act on
//     the shown text as in any line edit, under the same refusal rule;
//   - the whole text is selected when the field gains focus, so typing replaces it.
class TMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget* parent = nullptr);

    // Changes the mask; the current value text is placed under the new one.
    void setMask(const std::string& mask);
    const std::string& mask() const { return maskText_; }

    // Shows a value text (see placeValueText); clears the modified flag.
    void setText(const std::string& valueText);
    void setText(const QString& valueText);

    std::string valueText() const;
    std::int32_t count() const;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showSlots();

    std::string maskText_;
    TFieldMask mask_;
    std::string slots_;
    bool selectOnRelease_ = false;
};
