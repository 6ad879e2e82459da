// The 'C' reply parser on any bytes taken as a complete reply.
#include "FuzzCheck.h"

#include "protocol/Replies.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TCalibrationTexts texts = parseCalibrationReply(std::span(data, size));
    for (std::size_t box = 0; box < texts.size(); ++box) {
        if (!texts[box])
            continue;
        // Five value characters per item; the last shows four and a point.
        FUZZ_REQUIRE(texts[box]->size() == 5);
        if (box == kCalibrationItems - 1)
            FUZZ_REQUIRE((*texts[box])[3] == '.');
        // No item is read from the final byte or beyond (boxes 6 and 7 hold
        // items 7 and 6).
        const std::size_t item = box == 5 ? 6 : box == 6 ? 5 : box;
        const std::size_t itemEnd = 5 + 7 * item + (box == kCalibrationItems - 1 ? 6 : 7);
        FUZZ_REQUIRE(size >= itemEnd + 1);
    }
    return 0;
}
