#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class TTrafficDirection : std::uint8_t { Sent, Received };

// What became of the bytes of one traffic line.
enum class TTrafficNote : std::uint8_t {
    None,         // a request, or a reply that answers it
    NoReply,      // the time-out passed; the bytes are what arrived, if any
    WrongAddress, // a reply from another address
    Unexpected,   // a reply with other letters
    Overflow,     // bytes without an end (CR)
    EchoDropped,  // the adapter's echo of the request
    SetAside,     // a reply for another address, on a bus
    AfterCR,      // bytes after the reply's CR, dropped
    LineLost,
    Abandoned,
    Noise,        // bytes up to a CR that are no reply frame
    Late,         // bytes that came after their exchange had ended, dropped
};

// One line of the traffic monitor and of dadizctl --verbose.
struct TTrafficRecord {
    std::chrono::system_clock::time_point time;
    TTrafficDirection direction = TTrafficDirection::Sent;
    std::string port; // "COM1 (/dev/ttyUSB0)"
    std::vector<std::uint8_t> bytes;
    std::optional<int> latencyMs; // from the request's last byte, for replies
    TTrafficNote note = TTrafficNote::None;
};

// The bytes as text: printable ASCII as it is, CR as <CR>, LF as <LF>, any
// other byte as <XX> in hex ("@07L<CR>", "<00>").
std::string trafficText(std::span<const std::uint8_t> bytes);
// The bytes in hex, two digits each, separated by blanks.
std::string trafficHex(std::span<const std::uint8_t> bytes);
// Local time with milliseconds, "11:55:32.123".
std::string trafficTime(std::chrono::system_clock::time_point time);
