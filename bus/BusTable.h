#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Texts.h"
#include "config/DisplayConfig.h"

// What the view of the displays on a line shows and writes, without a window:
// the words of each row, the comparison of a display with its file, the CSV.

// Whether a message (kept in the four languages, so that a window can say it
// again when its language changes) says nothing.
bool noWords(const TWords& words);

// One field that differs, in plain words of one language.
struct TBusDifference {
    std::string field;   // "Relé 1 · Consigna", "Input value 1"
    std::string file;    // as the file has it
    std::string display; // as the display has it
};

// The fields `display` holds other than `file`, among those a configuration
// reply carries (the line, the address and the digits never travel). Values
// are compared as they travel: input values to the thousandth, display values
// to the count.
std::vector<TBusDifference> configDifferences(const TDisplayConfig& file, const TDisplayConfig& display, TLanguage language);
// "Field: file X, display Y" lines, one a difference.
std::string differencesText(const std::vector<TBusDifference>& differences, TLanguage language);

// A display's configuration in four short columns.
struct TConfigSummary {
    std::string input;     // "Procés, Corrent", "Temperatura, ºC"
    std::string digits;    // from the file; the display does not send them ("" when unknown)
    std::string decimals;  // the decimal position
    std::string setpoints; // "180.0 / -", '.' decimals
};
TConfigSummary configSummary(const TDisplayConfig& config, std::optional<std::uint8_t> digitsIndex, TLanguage language);

// What a row says of its display's readings.
struct TReadingState {
    bool answered = false; // one reading at least was taken
    int missedInRow = 0;
    // The last reply that came after its time-out, ms after its request; 0
    // when set aside during another exchange (how late is not known); -1 none.
    int lateMs = -1;
};
// "ok", "stale", "missed 3 in a row", "ok; late reply (1.3 s)".
std::string readingStateText(const TReadingState& state, TLanguage language);
// Stale from the first missed reading, missed with the count from the second.
bool readingStale(const TReadingState& state);

// How a display compares with the folder.
enum class TFileState : std::uint8_t { NoFolder, NoFile, Unreadable, NotRead, Matches, Differs };
std::string fileStateText(TFileState state, TLanguage language);

// The table's columns, as the window and the CSV name them: address, value,
// relay 1, relay 2, reading, input, digits, decimals, set points, file.
std::vector<std::string> busColumns(TLanguage language);

// One row of the table as the CSV gives it.
struct TCsvRow {
    std::uint8_t address = 0;
    std::optional<std::string> value;
    std::optional<std::array<bool, 2>> relays;
    TReadingState reading;
    std::optional<TConfigSummary> summary;
    TFileState file = TFileState::NoFolder;
    std::string differences; // the fields that differ, "; " between them
};
// The table as CSV: UTF-8, ',' between fields, '.' decimals, a header in
// `language`, fields quoted where they hold a comma, a quote or a line end.
std::string busCsv(const std::vector<TCsvRow>& rows, TLanguage language);

// A display's value as UTF-8 text, without its padding.
std::string readingValueText(const std::string& value);

// The view's own texts.
std::string busWindowTitle(TLanguage language);
// What another user of the port is told while the view holds it.
std::string busHoldsLineText(TLanguage language);
// Why the view may not use the port now: what holds it.
enum class TBusRefusal : std::uint8_t { MainExchange, MainReading, Doctor };
std::string busRefusalText(TBusRefusal why, TLanguage language);
