// The count reading of a masked numeric field, and the steps that put text
// into its positions. Input: a mask, a newline, then the text a person typed.
#include "FuzzCheck.h"

#include "dialogs/MaskEdit.h"

#include <string>

namespace {

// A field of at most six positions reads as a count with no more digits than it has.
void requireCountFits(const TFieldMask& mask, const std::string& cells)
{
    const std::int32_t count = countOfValueText(valueTextOf(mask, cells));
    (void)renderMasked(mask, cells);
    const int positions = mask.slotCount();
    if (positions > 6)
        return;
    long long limit = 1;
    for (int i = 0; i < positions; ++i)
        limit *= 10;
    FUZZ_REQUIRE(count > -limit && count < limit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    // Any text at all read as a count.
    (void)countOfValueText(input);

    const std::size_t split = input.find('\n');
    const std::string maskText = input.substr(0, split);
    const std::string typed = split == std::string::npos ? std::string() : input.substr(split + 1);
    const TFieldMask mask = parseFieldMask(maskText);
    const std::size_t positions = static_cast<std::size_t>(mask.slotCount());
    FUZZ_REQUIRE(mask.integerSlots() + mask.fractionSlots() == mask.slotCount());

    const std::string placed = placeValueText(mask, typed);
    FUZZ_REQUIRE(placed.size() == positions);
    requireCountFits(mask, placed);

    if (const auto cells = placeTypedNumber(mask, typed)) {
        FUZZ_REQUIRE(cells->size() == positions);
        requireCountFits(mask, *cells);
    }
    return 0;
}
