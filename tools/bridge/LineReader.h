#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/DisplayLink.h"
#include "protocol/Replies.h"
#include "tools/bridge/BridgeConfig.h"

// What the bridge says of a display: the outcome of its latest reading.
enum class TDisplayStatus : std::uint8_t { Unknown, Ok, NoReply, OtherAddress, Unexpected, LineLost };

// "ok", "no reply", "other address", "unexpected reply", "line lost", "not read yet".
const char* statusWord(TDisplayStatus status);

struct TLineReading {
    std::uint8_t address = 0;
    TDisplayStatus status = TDisplayStatus::Unknown;
    TDisplayReading reading; // for Ok
    std::string why;         // for anything else
    TLinkClock::time_point ended; // the reply, or the end of the wait for it
};

using TExchangeDone = std::function<void(const TExchangeReport&)>;

// The displays of one line, each read every period, served in turn, with
// requests of the bridge's own (a configuration read or sent) between two
// readings, one at a time a display.
class TLineReader {
public:
    virtual ~TLineReader() = default;
    // Opens the line and starts reading; a line that cannot be opened, or
    // is lost, is tried again until it comes back.
    virtual void start() = 0;
    // `done` gets the report of the display's 'P' exchange, or a LineLost
    // report when the line is not open.
    virtual void readConfiguration(std::uint8_t address, TExchangeDone done) = 0;
    // Sends `cfg` ('E'); `done` gets the report of the exchange.
    virtual void sendConfiguration(std::uint8_t address, const TDisplayConfig& cfg, TExchangeDone done) = 0;

    std::function<void(const TLineReading&)> onReading;
    // Said once each time the line is lost, opened again or cannot be opened.
    std::function<void(const std::string&)> onLineNote;
};

// The reader on the display sessions of one TDisplayLine; what it says (a
// reading's why, its notes) is in `language`.
std::unique_ptr<TLineReader> makeLineReader(const TBridgeLine& line, TLanguage language);

// A display that missed this many readings in a row is asked only once
// every kSilentEvery periods until it answers, so that it does not slow the others.
inline constexpr int kSilentAfter = 3;
inline constexpr int kSilentEvery = 5;
