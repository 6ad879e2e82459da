#include "config/LineFormat.h"

#include <algorithm>

#include "base/Formats.h"
#include "config/DisplayConfig.h"

namespace {

constexpr std::array<const char*, 3> kParityWords{"even", "odd", "none"};

template <typename T, std::size_t N>
std::optional<T> entryAt(const std::array<T, N>& list, unsigned index)
{
    return index < N ? std::optional<T>(list[index]) : std::nullopt;
}

// The position of `value` in `list`; `field` keeps its own when there is none.
template <typename T, std::size_t N>
void storePosition(const std::array<T, N>& list, T value, std::uint8_t& field)
{
    const auto it = std::find(list.begin(), list.end(), value);
    if (it != list.end())
        field = static_cast<std::uint8_t>(it - list.begin());
}

template <typename T, std::size_t N>
std::vector<std::string> numberWords(const std::array<T, N>& list)
{
    std::vector<std::string> words;
    for (T value : list)
        words.push_back(std::to_string(value));
    return words;
}

} // namespace

std::optional<std::int32_t> speedAt(unsigned index)
{
    return entryAt(kLineSpeeds, index);
}

std::optional<TLineParity> parityAt(unsigned index)
{
    return index < kParityWords.size() ? std::optional<TLineParity>(static_cast<TLineParity>(index)) : std::nullopt;
}

std::optional<std::uint8_t> dataBitsAt(unsigned index)
{
    return entryAt(kLineDataBits, index);
}

std::optional<std::uint8_t> stopBitsAt(unsigned index)
{
    return entryAt(kLineStopBits, index);
}

TLineFormat lineFormatOf(const TDisplayConfig& cfg)
{
    const TLineFormat unset;
    return {speedAt(cfg.BaudIndex).value_or(unset.baud), parityAt(cfg.ParityIndex).value_or(unset.parity),
        dataBitsAt(cfg.DataBitsIndex).value_or(unset.dataBits), stopBitsAt(cfg.StopBitsIndex).value_or(unset.stopBits)};
}

void storeLineFormat(const TLineFormat& line, TDisplayConfig& cfg)
{
    storePosition(kLineSpeeds, line.baud, cfg.BaudIndex);
    if (static_cast<std::size_t>(line.parity) < kParityWords.size())
        cfg.ParityIndex = static_cast<std::uint8_t>(line.parity);
    storePosition(kLineDataBits, line.dataBits, cfg.DataBitsIndex);
    storePosition(kLineStopBits, line.stopBits, cfg.StopBitsIndex);
}

std::vector<std::string> speedWords()
{
    return numberWords(kLineSpeeds);
}

std::vector<std::string> parityWords()
{
    return {kParityWords.begin(), kParityWords.end()};
}

std::vector<std::string> dataBitsWords()
{
    return numberWords(kLineDataBits);
}

std::vector<std::string> stopBitsWords()
{
    return numberWords(kLineStopBits);
}

std::string speedText(std::int32_t baud)
{
    return std::to_string(baud);
}

std::string parityWord(TLineParity parity)
{
    return kParityWords[std::min<std::size_t>(static_cast<std::size_t>(parity), kParityWords.size() - 1)];
}

std::string formatText(const TLineFormat& line)
{
    return cfmt("%d%c%d", line.dataBits, "EON"[std::min<int>(static_cast<int>(line.parity), 2)], line.stopBits);
}
