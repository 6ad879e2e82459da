// The 'P' reply parser on any bytes taken as a complete reply.
#include "FuzzCheck.h"

#include "config/DisplayConfig.h"
#include "config/RecordCodec.h"
#include "protocol/Replies.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    cfg.PortIndex = 3;
    cfg.Address = 17;
    cfg.TestValue = 2.5;
    const TDisplayConfig before = cfg;
    const TParamsReplyContents contents = parseAnalogParamsReply(std::span(data, size), cfg);
    // A field said not to be a number is one the reply carried.
    for (const TUnreadableField& u : contents.unreadable)
        FUZZ_REQUIRE(std::any_of(contents.carried.begin(), contents.carried.end(),
                                 [&](const char* f) { return std::string_view(f) == u.field; }));
    // Only the analog input and the relays come from the display.
    FUZZ_REQUIRE(cfg.PortIndex == before.PortIndex && cfg.ParityIndex == before.ParityIndex
                 && cfg.DataBitsIndex == before.DataBitsIndex && cfg.StopBitsIndex == before.StopBitsIndex
                 && cfg.BaudIndex == before.BaudIndex && cfg.Address == before.Address
                 && cfg.DigitsIndex == before.DigitsIndex && cfg.TestValue == before.TestValue
                 && std::memcmp(&cfg.DisplayParams, &before.DisplayParams, sizeof cfg.DisplayParams) == 0);
    // Nothing is read from the final byte or beyond: without two payload
    // bytes after the letters nothing changes.
    if (size <= 7)
        FUZZ_REQUIRE(encodeRecord(cfg) == encodeRecord(before));
    return 0;
}
