// Reply collection and dispatch as the main window runs it: pieces of at most
// 20 bytes go into the reply buffer; a complete reply is checked against the
// request and handed to the parser of the pending kind; an overflow ends the
// exchange. Input: kind, address, then pieces, each a length byte (0..20,
// 0 being a notification that finds nothing) and its bytes; after each
// exchange ends the next one starts with the kind given by the next byte.
#include "FuzzCheck.h"

#include "config/DisplayConfig.h"
#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace {

constexpr char kLetters[] = {kLetterCalibration, kLetterAnalogParams, kLetterDisplayReading, kLetterSendConfig};

struct TExchange {
    int kind = 0; // 1..4 as PendingRequest
    std::array<std::uint8_t, kConfigRequestLength> tx{};
};

TExchange startExchange(std::uint8_t kindByte, const TDisplayConfig& cfg)
{
    TExchange e;
    e.kind = kindByte % 4 + 1;
    const char letter = kLetters[e.kind - 1];
    if (letter == kLetterSendConfig) {
        e.tx = buildConfigRequest(cfg);
    } else {
        const TReadRequest r = buildReadRequest(cfg.Address, letter);
        std::copy(r.begin(), r.end(), e.tx.begin());
    }
    return e;
}

void dispatch(const TExchange& e, std::span<const std::uint8_t> reply, TDisplayConfig& cfg)
{
    const TDisplayConfig before = cfg;
    if (checkReply(reply, std::span(e.tx.data(), kReadRequestLength)) != TReplyCheck::Accepted) {
        FUZZ_REQUIRE(std::memcmp(&before, &cfg, sizeof cfg) == 0);
        return;
    }
    FUZZ_REQUIRE(reply.size() >= 4 && std::equal(reply.begin(), reply.begin() + 3, e.tx.begin()));
    switch (e.kind) {
    case 1: {
        const TCalibrationTexts texts = parseCalibrationReply(reply);
        for (const auto& t : texts)
            FUZZ_REQUIRE(!t || t->size() == 5);
        break;
    }
    case 2:
        parseAnalogParamsReply(reply, cfg);
        // The reply never reaches the line settings or the display's identity.
        FUZZ_REQUIRE(cfg.PortIndex == before.PortIndex && cfg.Address == before.Address
                     && cfg.DigitsIndex == before.DigitsIndex && cfg.BaudIndex == before.BaudIndex);
        break;
    case 3: {
        const TDisplayReading reading = parseDisplayReadingReply(reply);
        FUZZ_REQUIRE(!reading.value || reading.value->size() <= 8);
        break;
    }
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    cfg.Address = data[1];
    TExchange exchange = startExchange(data[0], cfg);
    TRxBuffer rx;
    rx.reset();
    std::size_t pos = 2;
    while (pos < size) {
        const std::size_t want = data[pos++] % 21;
        const std::size_t n = std::min(want, size - pos);
        const std::span<const std::uint8_t> piece(data + pos, n);
        pos += n;
        if (n == 0)
            continue; // a notification that finds the queue empty reads nothing
        const TRxBuffer::TState state = rx.append(piece);
        FUZZ_REQUIRE(rx.length() >= 0 && static_cast<std::size_t>(rx.length()) <= TRxBuffer::kCapacity);
        FUZZ_REQUIRE(rx.raw()[0] == 0);
        FUZZ_REQUIRE(rx.reply().size() == static_cast<std::size_t>(rx.length()));
        if (state == TRxBuffer::TState::Incomplete)
            continue;
        if (state == TRxBuffer::TState::Complete) {
            FUZZ_REQUIRE(rx.reply().back() == kCR);
            // The reply ends at its first CR.
            FUZZ_REQUIRE(std::count(rx.reply().begin(), rx.reply().end(), kCR) == 1);
            dispatch(exchange, rx.reply(), cfg);
        }
        // The exchange ends either way; the next request starts a new one.
        if (pos >= size)
            break;
        exchange = startExchange(data[pos++], cfg);
        rx.reset();
    }
    return 0;
}
