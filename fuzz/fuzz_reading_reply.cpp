// The 'L' reply parser on any bytes taken as a complete reply.
#include "FuzzCheck.h"

#include "protocol/Replies.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TDisplayReading reading = parseDisplayReadingReply(std::span(data, size));
    // The value is offsets 5..12, present only with 'R','L' before it and the
    // final byte after it.
    if (reading.value) {
        FUZZ_REQUIRE(size >= 14 && data[3] == 'R' && data[4] == 'L');
        FUZZ_REQUIRE(reading.value->size() <= 8 && reading.value->find('\0') == std::string::npos);
    }
    if (reading.relays) {
        FUZZ_REQUIRE(size >= 18 && data[13] == 'R' && data[14] == 'R');
        FUZZ_REQUIRE((*reading.relays)[0] == (data[15] == '1') && (*reading.relays)[1] == (data[16] == '1'));
    }
    return 0;
}
