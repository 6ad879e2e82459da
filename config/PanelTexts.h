#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "base/Language.h"

#include "config/DisplayConfig.h"

// What the main window's three summary panels show for a configuration.
// Texts are UTF-8.

struct SerialPanelText {
    std::string port;     // Edit1
    std::string baud;     // Edit2
    std::string parity;   // Edit3
    std::string stopBits; // Edit4
    std::string dataBits; // Edit5
    std::string address;  // Edit13
    std::string digits;   // Edit15
};
SerialPanelText serialPanelText(const TDisplayConfig& cfg);

// Rows Label6/Edit6 .. Label12/Edit12 of the analog panel. An empty optional
// leaves that control as it was.
struct AnalogPanelText {
    std::optional<std::string> label[7]; // Label6 .. Label12
    std::optional<std::string> value[7]; // Edit6 .. Edit12
    // The last two rows: shown in process mode, emptied, disabled and hidden in temperature mode.
    std::optional<bool> lastRowsShown;
};
AnalogPanelText analogPanelText(const TDisplayConfig& cfg, TLanguage language);

struct RelayPanelText {
    bool enabled = false;    // Edit16/Edit17 (or 18/19), the trigger text and both labels
    std::string delayLabel;  // Label15 / Label17
    std::string triggerText; // DisparRele1 / DisparRele2
    std::string delay;       // Edit16 / Edit18
    std::string setpoint;    // Edit17 / Edit19
};
// relay is 1 or 2.
RelayPanelText relayPanelText(const TDisplayConfig& cfg, int relay, TLanguage language);

// The relay setpoint with its decimal point put back, in the width of the display's digits.
std::string setpointText(std::int32_t setpoint, std::uint8_t digitsIndex, std::uint8_t decimalPoint);
