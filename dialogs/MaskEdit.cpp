#include "dialogs/MaskEdit.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QValidator>

#include <algorithm>
#include <cmath>

#include "base/Formats.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSlot(char c)
{
    return c == '#' || c == '9';
}

bool admits(char position, char c)
{
    if (c == ' ' || isDigit(c))
        return true;
    return position == '#' && (c == '+' || c == '-');
}

// The slot positions of the mask, point excluded.
std::string slotPattern(const TFieldMask& mask)
{
    std::string out;
    for (char c : mask.positions)
        if (isSlot(c))
            out += c;
    return out;
}

// A typed number longer than this is refused, whatever its leading zeros.
constexpr std::size_t kMaxTyped = 24;

} // namespace

int TFieldMask::slotCount() const
{
    return int(slotPattern(*this).size());
}

bool TFieldMask::hasPoint() const
{
    return positions.find('.') != std::string::npos;
}

int TFieldMask::integerSlots() const
{
    int n = 0;
    for (char c : positions) {
        if (c == '.')
            break;
        if (isSlot(c))
            ++n;
    }
    return n;
}

int TFieldMask::fractionSlots() const
{
    return slotCount() - integerSlots();
}

bool TFieldMask::signAllowed() const
{
    const std::string cells = slotPattern(*this);
    return !cells.empty() && cells[0] == '#';
}

TFieldMask parseFieldMask(const std::string& mask)
{
    TFieldMask m;
    const std::size_t first = mask.find(';');
    std::string pattern = mask.substr(0, first);
    if (!pattern.empty() && pattern[0] == '!') {
        m.rightAligned = true;
        pattern.erase(0, 1);
    }
    bool pointSeen = false;
    for (char c : pattern) {
        if (isSlot(c)) {
            m.positions += c;
        } else if (c == '.' && !pointSeen) {
            m.positions += c;
            pointSeen = true;
        }
    }
    if (first != std::string::npos) {
        const std::size_t second = mask.find(';', first + 1);
        const std::string literal = mask.substr(first + 1, second == std::string::npos ? std::string::npos
                                                                                      : second - first - 1);
        m.pointInValue = literal == "1";
        if (second != std::string::npos && second + 1 < mask.size())
            m.blank = mask[second + 1];
    }
    return m;
}

std::string placeValueText(const TFieldMask& mask, const std::string& valueText)
{
    // The layout of the value text: cells, and the point when it belongs to it.
    std::string layout;
    for (char c : mask.positions)
        if (isSlot(c) || mask.pointInValue)
            layout += c;
    std::string text = valueText;
    if (text.size() > layout.size())
        text = mask.rightAligned ? text.substr(text.size() - layout.size()) : text.substr(0, layout.size());
    const std::string pad(layout.size() - text.size(), ' ');
    text = mask.rightAligned ? pad + text : text + pad;

    std::string cells;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        if (layout[i] == '.')
            continue;
        cells += admits(layout[i], text[i]) ? text[i] : ' ';
    }
    return cells;
}

std::optional<std::string> placeTypedNumber(const TFieldMask& mask, const std::string& typed)
{
    if (typed.size() > kMaxTyped)
        return std::nullopt;
    std::size_t i = 0;
    const std::size_t n = typed.size();
    while (i < n && typed[i] == ' ')
        ++i;
    char sign = 0;
    if (i < n && (typed[i] == '-' || typed[i] == '+')) {
        if (!mask.signAllowed())
            return std::nullopt;
        sign = typed[i++];
        // A field drawn with blank spaces may show them between sign and digits.
        while (i < n && typed[i] == ' ')
            ++i;
    }
    std::string intDigits;
    while (i < n && isDigit(typed[i]))
        intDigits += typed[i++];
    std::string fracDigits;
    if (i < n && (typed[i] == '.' || typed[i] == ',')) {
        if (!mask.hasPoint())
            return std::nullopt;
        ++i;
        while (i < n && isDigit(typed[i]))
            fracDigits += typed[i++];
    }
    while (i < n && typed[i] == ' ')
        ++i;
    if (i != n)
        return std::nullopt;

    const int intRoom = mask.integerSlots() - (sign ? 1 : 0);
    const int fracRoom = mask.fractionSlots();
    while (int(intDigits.size()) > intRoom && intDigits[0] == '0')
        intDigits.erase(0, 1);
    while (int(fracDigits.size()) > fracRoom && fracDigits.back() == '0')
        fracDigits.pop_back();
    if (intRoom < 0 || int(intDigits.size()) > intRoom || int(fracDigits.size()) > fracRoom)
        return std::nullopt;

    std::string integerPart;
    if (sign)
        integerPart = std::string(1, sign) + std::string(std::size_t(intRoom) - intDigits.size(), '0');
    else
        integerPart = std::string(std::size_t(intRoom) - intDigits.size(), ' ');
    integerPart += intDigits;
    return integerPart + fracDigits + std::string(std::size_t(fracRoom) - fracDigits.size(), ' ');
}

std::string renderMasked(const TFieldMask& mask, const std::string& cells)
{
    std::string out;
    std::size_t k = 0;
    for (char c : mask.positions) {
        if (c == '.') {
            out += '.';
            continue;
        }
        const char s = k < cells.size() ? cells[k] : ' ';
        ++k;
        out += s == ' ' ? mask.blank : s;
    }
    return out;
}

std::string valueTextOf(const TFieldMask& mask, const std::string& cells)
{
    if (!mask.pointInValue)
        return cells;
    std::string out;
    std::size_t k = 0;
    for (char c : mask.positions)
        out += c == '.' ? '.' : (k < cells.size() ? cells[k++] : ' ');
    return out;
}

std::int32_t countOfValueText(const std::string& valueText)
{
    std::string text = valueText;
    for (std::size_t i = 0; i < text.size() && i < 6; ++i)
        if (text[i] == ' ')
            text[i] = '0';
    return textToInt(text);
}


namespace {

// Refuses every edit whose result is not a number that fits the mask.
class TMaskValidator : public QValidator {
public:
    TMaskValidator(const TFieldMask& mask, QObject* parent) : QValidator(parent), mask_(mask) {}
    State validate(QString& input, int& pos) const override
    {
        for (QChar c : input)
            if (c.unicode() > 0x7F)
                return Invalid;
        // Blanks are only drawn, never typed: the text holds none.
        for (int i = input.size() - 1; i >= 0; --i) {
            if (input[i] == QLatin1Char(' ')) {
                input.remove(i, 1);
                if (pos > i)
                    --pos;
            }
        }
        return placeTypedNumber(mask_, input.toStdString()) ? Acceptable : Invalid;
    }

private:
    const TFieldMask& mask_;
};

} // namespace

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new TMaskValidator(mask_, this));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (auto cells = placeTypedNumber(mask_, text.toStdString()))
            slots_ = *cells;
    });
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (!isModified())
            return;
        showSlots();
        setModified(true);
    });
}

void TMaskEdit::setMask(const std::string& mask)
{
    const std::string value = valueText();
    maskText_ = mask;
    mask_ = parseFieldMask(mask);
    slots_ = placeValueText(mask_, value);
    showSlots();
}

void TMaskEdit::setText(const std::string& valueText)
{
    slots_ = placeValueText(mask_, valueText);
    showSlots();
}

void TMaskEdit::setText(const QString& valueText)
{
    setText(valueText.toStdString());
}

std::string TMaskEdit::valueText() const
{
    return valueTextOf(mask_, slots_);
}

std::int32_t TMaskEdit::count() const
{
    return countOfValueText(valueText());
}

void TMaskEdit::showSlots()
{
    QLineEdit::setText(QString::fromStdString(renderMasked(mask_, slots_)));
}

void TMaskEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // A click would otherwise drop the caret in the middle of the zeros.
    selectOnRelease_ = event->reason() == Qt::MouseFocusReason;
}

void TMaskEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (selectOnRelease_ && !hasSelectedText())
        selectAll();
    selectOnRelease_ = false;
}
