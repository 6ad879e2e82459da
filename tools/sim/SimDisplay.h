#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// One simulated display: its own record of what the 'E' request carries, a
// value that moves over time, and relays switched from that value. It parses
// requests and builds replies itself, sharing no code with the program's
// frame functions, so that each side checks the other.

using TSimClock = std::chrono::steady_clock;

struct TSimOptions {
    int address = 0;
    int digits = 4;
    int decimals = 1;
    int inputMode = 0;                // reported in 'P' replies; no request sets it
    std::optional<double> fixedValue; // shown instead of the moving value, in display units
    bool ramp = false;                // the value ramps up and down through both relay set points
    bool wrongAddress = false;        // answer with another address
    bool noise = false;               // answer with bytes and no CR
};

struct TSimRelay {
    std::uint8_t delayType = '1'; // '0' timed, otherwise hysteresis
    std::uint8_t trigger = '0';   // '0' high, '2' off, otherwise low
    int delay = 0;                // seconds when timed, counts of hysteresis otherwise
    int setpoint = 0;             // display counts
    bool on = false;
    std::optional<TSimClock::time_point> conditionSince;
};

struct TSimSettings {
    int processInput = 1;
    double inputValue1 = 4.0;
    double inputValue2 = 20.0;
    long displayCount1 = 0;
    long displayCount2 = 1000;
    int decimals = 1;
    int probeType = 0;
    int tempUnits = 1;
    int resolution = 0;
    std::array<std::uint8_t, 3> offset = {' ', '0', '0'}; // sign, then two digits as received
    std::array<TSimRelay, 2> relays;
};

class TSimDisplay {
public:
    explicit TSimDisplay(const TSimOptions& options, TSimClock::time_point start);

    // The two address characters this display answers to.
    const std::string& addressText() const { return address_; }

    // The reply to one request frame ('@' .. CR) addressed to this display;
    // nothing for a request it does not understand.
    std::optional<std::string> answer(const std::string& request, TSimClock::time_point now);

    const TSimSettings& settings() const { return settings_; }

private:
    bool storeConfig(const std::string& frame);
    long currentCount(TSimClock::time_point now) const;
    std::string valueText(long count) const;
    void updateRelay(TSimRelay& relay, long count, TSimClock::time_point now);
    std::string header(char letter) const;
    std::string paramsReply() const;
    std::string readingReply(TSimClock::time_point now);
    std::string calibrationReply() const;

    TSimOptions options_;
    TSimClock::time_point start_;
    std::string address_;
    std::string replyAddress_;
    TSimSettings settings_;
};

// A frame in printable form: CR as <CR>, other control and non-ASCII bytes as <XX>.
std::string printableFrame(const std::string& frame);
