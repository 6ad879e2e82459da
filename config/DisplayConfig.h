#pragma once
#include <cstdint>

// The display's own parameters as the parameter dialog shows them; never stored in a file.
struct TDisplayParams {
    std::uint8_t ParamAddress = 0;
    std::uint8_t ParamProtocol = 0;
    std::uint8_t ParamBaud = 0;
    std::uint8_t ParamParity = 0;
    std::uint8_t ParamDataBits = 0;
    std::uint8_t ParamStopBits = 0;
    std::uint8_t ParamLine = 0;
    std::uint8_t ParamLineType = 0;
    std::uint8_t ParamTimeout = 0;
    std::uint8_t Param6 = 0;
    std::uint8_t Param7 = 0;
    std::uint8_t Param8 = 0;
    std::uint8_t Param9 = 0;
    std::uint8_t ParamA = 0;
};

// The five fields of one relay, by reference: relay 1 and relay 2 are one
// shape, so code that handles a relay is written once.
template <typename U8, typename Char, typename I32>
struct TRelayFieldsOf {
    U8& Enabled;
    Char& DelayType;
    Char& TriggerLevel;
    I32& Delay;
    I32& Setpoint;
};
using TRelayFields = TRelayFieldsOf<std::uint8_t, char, std::int32_t>;
using TConstRelayFields = TRelayFieldsOf<const std::uint8_t, const char, const std::int32_t>;

// The one configuration the program edits. Index fields select an entry of a
// fixed list; values outside the lists are kept as they come (files, replies).
struct TDisplayConfig {
    // Serial line and display identity
    std::uint8_t PortIndex = 0;      // 0..5 = COM1..COM6
    std::uint8_t ParityIndex = 0;    // 0 even, 1 odd, 2 none
    std::uint8_t DataBitsIndex = 0;  // 0 = 7 bits, 1 = 8 bits
    std::uint8_t StopBitsIndex = 0;  // 0 = 1 stop bit, 1 = 2
    std::uint8_t BaudIndex = 0;      // 0..4 = 1200, 2400, 4800, 9600, 19200
    std::uint8_t Address = 0;        // 0..31
    std::uint8_t DigitsIndex = 0;    // digits - 2

    // Analog input
    std::uint8_t InputMode = 0;      // 0 process, 1 temperature
    std::uint8_t ProcessInput = 0;   // 0 voltage, 1 current
    double InputValue1 = 0.0;
    double DisplayValue1 = 0.0;
    double InputValue2 = 0.0;
    double DisplayValue2 = 0.0;
    std::uint8_t DecimalPoint = 0;   // decimals shown by the display
    std::uint8_t TempUnits = 0;      // 0 ºF, 1 ºC
    std::uint8_t ProbeType = 0;      // 0 PT100, 1 TC J, 2 TC K, 3 TC T
    std::uint8_t Resolution = 0;     // 0 whole degrees, 1 tenths
    double TempOffset = 0.0;

    // Relays. DelayType and TriggerLevel hold the characters '0' or '1';
    // every reader tests against '0' only.
    std::uint8_t Relay1Enabled = 0;
    char Relay1DelayType = 0;        // '0' timed, otherwise hysteresis
    char Relay1TriggerLevel = 0;     // '0' high, otherwise low
    std::int32_t Relay1Delay = 0;
    std::int32_t Relay1Setpoint = 0; // display counts, decimal point removed
    std::uint8_t Relay2Enabled = 0;
    char Relay2DelayType = 0;
    char Relay2TriggerLevel = 0;
    std::int32_t Relay2Delay = 0;
    std::int32_t Relay2Setpoint = 0;

    TDisplayParams DisplayParams;

    // Relay 1 or 2 (any other n gives relay 1).
    TRelayFields relay(int n)
    {
        if (n == 2)
            return {Relay2Enabled, Relay2DelayType, Relay2TriggerLevel, Relay2Delay, Relay2Setpoint};
        return {Relay1Enabled, Relay1DelayType, Relay1TriggerLevel, Relay1Delay, Relay1Setpoint};
    }
    TConstRelayFields relay(int n) const
    {
        if (n == 2)
            return {Relay2Enabled, Relay2DelayType, Relay2TriggerLevel, Relay2Delay, Relay2Setpoint};
        return {Relay1Enabled, Relay1DelayType, Relay1TriggerLevel, Relay1Delay, Relay1Setpoint};
    }

    // Communication test; not stored in files
    std::uint8_t TestProtocolIndex = 0;
    double TestValue = 0.0;
};

// The defaults of New: everything zero except four digits.
void resetToDefaults(TDisplayConfig& cfg);

// The program's one configuration, alive for the whole run.
extern TDisplayConfig DisplayConfig;
