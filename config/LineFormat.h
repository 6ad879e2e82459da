#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TDisplayConfig;

// The serial line's settings and their lists. TDisplayConfig keeps each
// setting as a position in its list (BaudIndex, ParityIndex, DataBitsIndex,
// StopBitsIndex); every speed list the program shows is this one.
inline constexpr std::array<std::int32_t, 5> kLineSpeeds{1200, 2400, 4800, 9600, 19200};
// In the order of the parity lists.
enum class TLineParity : std::uint8_t { Even, Odd, None };
inline constexpr std::array<std::uint8_t, 2> kLineDataBits{7, 8};
inline constexpr std::array<std::uint8_t, 2> kLineStopBits{1, 2};

// Speed and frame format of a serial line. The default is a port no one
// has set: 9600 baud, 8 data bits, no parity, 1 stop bit.
struct TLineFormat {
    std::int32_t baud = 9600;
    TLineParity parity = TLineParity::None;
    std::uint8_t dataBits = 8;
    std::uint8_t stopBits = 1;
    bool operator==(const TLineFormat&) const = default;
};

// The setting at a list position; none beyond the list.
std::optional<std::int32_t> speedAt(unsigned index);
std::optional<TLineParity> parityAt(unsigned index);
std::optional<std::uint8_t> dataBitsAt(unsigned index);
std::optional<std::uint8_t> stopBitsAt(unsigned index);

// The line a configuration's positions give; a position beyond its list
// gives that setting of the default format.
TLineFormat lineFormatOf(const TDisplayConfig& cfg);
// Puts the positions of `line` into `cfg`; a setting that no list holds
// leaves its field as it was.
void storeLineFormat(const TLineFormat& line, TDisplayConfig& cfg);

// Each list's entries as the command line and JSON say them, in list order:
// "1200" .. "19200"; "even", "odd", "none"; "7", "8"; "1", "2".
std::vector<std::string> speedWords();
std::vector<std::string> parityWords();
std::vector<std::string> dataBitsWords();
std::vector<std::string> stopBitsWords();
// "9600"
std::string speedText(std::int32_t baud);
// "even"
std::string parityWord(TLineParity parity);
// "7E1": data bits, parity letter, stop bits.
std::string formatText(const TLineFormat& line);
