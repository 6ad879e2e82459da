#include "protocol/Requests.h"
#include "support/Locale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <string>

namespace {

std::string bytes(const TConfigRequest& frame, std::size_t pos, std::size_t count)
{
    return std::string(reinterpret_cast<const char*>(frame.data() + pos), count);
}

std::string frameText(const auto& frame)
{
    return std::string(reinterpret_cast<const char*>(frame.data()), frame.size());
}

TEST(ReadRequest, AddressDigitsAndLetter)
{
    struct Case {
        std::uint8_t address;
        char letter;
        const char* expected;
    };
    const Case cases[] = {
        {7, 'L', "@07L\r"},
        {31, 'C', "@31C\r"},
        {0, 'P', "@00P\r"},
        {255, 'L', "@-1L\r"}, // the address taken as a signed byte
        {100, 'L', "@10L\r"}, // only the first two characters of "100"
    };
    for (const auto& c : cases)
        EXPECT_EQ(frameText(buildReadRequest(c.address, c.letter)), c.expected) << int(c.address);
}

TDisplayConfig sampleConfig()
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    cfg.Address = 7;
    cfg.ProcessInput = 1;
    cfg.InputValue1 = 4.0;
    cfg.DisplayValue1 = 0.0;
    cfg.InputValue2 = 20.0;
    cfg.DisplayValue2 = 100.0;
    cfg.DecimalPoint = 1;
    cfg.ProbeType = 2;
    cfg.TempUnits = 1;
    cfg.Resolution = 1;
    cfg.TempOffset = -0.5;
    cfg.Relay1Enabled = 1;
    cfg.Relay1DelayType = '1';
    cfg.Relay1TriggerLevel = '0';
    cfg.Relay1Delay = 5;
    cfg.Relay1Setpoint = 125;
    cfg.Relay2Enabled = 0;
    cfg.Relay2TriggerLevel = '1';
    cfg.Relay2Delay = 12;
    cfg.Relay2Setpoint = -123;
    return cfg;
}

TEST(ConfigRequest, WholeFrameByteForByte)
{
    const std::string expected = std::string("@07E1I1+ 4.000D1     0*I2+20.000D2  1000*PD1TT2UM1RE1OF-05"
                                             "R110H1005S1000125R2") +
                                 '\0' + "2H2012S2-00123\r";
    ASSERT_EQ(expected.size(), kConfigRequestLength);
    EXPECT_EQ(frameText(buildConfigRequest(sampleConfig())), expected);
}

TEST(ConfigRequest, NumberFields)
{
    struct Case {
        double inputValue;
        double displayValue;
        std::uint8_t decimalPoint;
        const char* inputField;
        const char* displayField;
    };
    const Case cases[] = {
        {4.0, 12.5, 1, "+ 4.000", "   125*"},
        {20.0, 1234567.0, 0, "+20.000", "1234567"},
        {-4.0, -3.0, 0, "-4.000*", "    -3*"},
        {100.0, 1.2345, 4, "+100.00", " 12345*"},
        {-12.25, 0.5, 2, "-12.250", "    50*"},
        // Decimals beyond four scale as four instead of leaving the field unformatted.
        {1.0, 1.5, 5, "+ 1.000", " 15000*"},
        {1.0, 1.5, 9, "+ 1.000", " 15000*"},
        // Minus zero, and what reads as zero, goes out without a sign.
        {-0.0, -0.0, 0, "+ 0.000", "     0*"},
        {-0.0001, -0.4, 0, "+ 0.000", "     0*"},
        {-0.001, -0.5, 1, "-0.001*", "    -5*"},
    };
    for (const auto& c : cases) {
        TDisplayConfig cfg = sampleConfig();
        cfg.InputValue1 = c.inputValue;
        cfg.InputValue2 = c.inputValue;
        cfg.DisplayValue1 = c.displayValue;
        cfg.DisplayValue2 = c.displayValue;
        cfg.DecimalPoint = c.decimalPoint;
        const auto f = buildConfigRequest(cfg);
        EXPECT_EQ(bytes(f, 7, 7), c.inputField) << c.inputValue;
        EXPECT_EQ(bytes(f, 25, 7), c.inputField) << c.inputValue;
        EXPECT_EQ(bytes(f, 16, 7), c.displayField) << c.displayValue;
        EXPECT_EQ(bytes(f, 34, 7), c.displayField) << c.displayValue;
        // The position byte agrees with the scaling: never above '4'.
        EXPECT_EQ(f[43], std::min<int>(c.decimalPoint, 4) | 0x30) << int(c.decimalPoint);
    }
}

TEST(ConfigRequest, OffsetDigitsByResolution)
{
    struct Case {
        double offset;
        std::uint8_t resolution;
        const char* expected;
    };
    const Case cases[] = {
        {5.3, 0, " 05"}, {5.3, 1, " 53"},  {-12.5, 0, "-12"}, {-12.5, 1, "-25"},
        {12.0, 1, " 20"}, {-0.5, 1, "-05"}, {0.0, 0, " 00"}, {-0.0, 0, " 00"}, {-0.04, 1, " 00"},
    };
    for (const auto& c : cases) {
        TDisplayConfig cfg = sampleConfig();
        cfg.TempOffset = c.offset;
        cfg.Resolution = c.resolution;
        EXPECT_EQ(bytes(buildConfigRequest(cfg), 55, 3), c.expected) << c.offset << " res " << int(c.resolution);
    }
}

TEST(ConfigRequest, RelayFields)
{
    struct Case {
        std::uint8_t enabled;
        char delayType;
        char trigger;
        std::int32_t delay;
        std::int32_t setpoint;
        std::string expected; // type, trigger, "H1", delay, "S1", setpoint
    };
    const Case cases[] = {
        {1, '0', '1', 5, -123, "01H1005S1-00123"},
        {1, '1', '0', 999, 1234567, "10H1999S1123456"},
        {0, '0', '0', 5, 0, "02H1005S1000000"},        // disabled: '2' whatever is stored
        {2, '1', '0', 5, 0, "12H1005S1000000"},        // only 1 means enabled
        {0, '\0', '\0', 1234, 7, std::string(1, '\0') + "2H1123S1000007"}, // never confirmed: 0x00 sent
    };
    for (const auto& c : cases) {
        TDisplayConfig cfg = sampleConfig();
        cfg.Relay1Enabled = c.enabled;
        cfg.Relay1DelayType = c.delayType;
        cfg.Relay1TriggerLevel = c.trigger;
        cfg.Relay1Delay = c.delay;
        cfg.Relay1Setpoint = c.setpoint;
        EXPECT_EQ(bytes(buildConfigRequest(cfg), 60, 15), c.expected) << c.setpoint;
    }
}

// What cannot reach a display as it is, field by field; the window's
// in-range values all pass.
TEST(ConfigRequest, FieldsThatDoNotFitTheFrame)
{
    using F = TFrameFault;
    struct Case {
        void (*edit)(TDisplayConfig&);
        TFrameFault fault;
        const char* field;
        const char* sent;
    };
    const Case cases[] = {
        {[](TDisplayConfig&) {}, F::None, nullptr, ""},
        {[](TDisplayConfig& c) { c.Address = 32; }, F::OutOfRange, "Address", "32"},
        {[](TDisplayConfig& c) { c.Address = 200; }, F::OutOfRange, "Address", "-5"},
        {[](TDisplayConfig& c) { c.InputValue1 = 999999.0; }, F::None, nullptr, ""}, // the point is the dropped eighth
        {[](TDisplayConfig& c) { c.InputValue2 = 1e6; }, F::OutOfRange, "InputValue2", "+100000"},
        {[](TDisplayConfig& c) { c.InputValue1 = std::nan(""); }, F::NotFinite, "InputValue1", ""},
        {[](TDisplayConfig& c) { c.DisplayValue1 = 1234567.0, c.DecimalPoint = 0; }, F::None, nullptr, ""},
        {[](TDisplayConfig& c) { c.DisplayValue1 = -999999.0, c.DecimalPoint = 0; }, F::None, nullptr, ""},
        {[](TDisplayConfig& c) { c.DisplayValue2 = 12345678.0, c.DecimalPoint = 0; }, F::OutOfRange, "DisplayValue2",
         "1234567"},
        {[](TDisplayConfig& c) { c.DisplayValue2 = 1e308, c.DecimalPoint = 4; }, F::NotFinite, "DisplayValue2", ""},
        {[](TDisplayConfig& c) { c.TempOffset = 99.9, c.Resolution = 0; }, F::None, nullptr, ""},
        {[](TDisplayConfig& c) { c.TempOffset = -9.9, c.Resolution = 1; }, F::None, nullptr, ""},
        {[](TDisplayConfig& c) { c.TempOffset = 12.5, c.Resolution = 1; }, F::OutOfRange, "TempOffset", " 25"},
        {[](TDisplayConfig& c) { c.TempOffset = -100.0, c.Resolution = 0; }, F::OutOfRange, "TempOffset", "-00"},
        {[](TDisplayConfig& c) { c.Relay1Delay = 1000; }, F::OutOfRange, "Relay1Delay", "100"},
        {[](TDisplayConfig& c) { c.Relay2Setpoint = 1234567; }, F::OutOfRange, "Relay2Setpoint", "123456"},
        {[](TDisplayConfig& c) { c.Relay2Setpoint = -99999; }, F::None, nullptr, ""},
        {[](TDisplayConfig& c) { c.Relay1DelayType = '\r'; }, F::EndsFrame, "Relay1DelayType", ""},
        {[](TDisplayConfig& c) { c.Relay2TriggerLevel = '\r', c.Relay2Enabled = 1; }, F::EndsFrame,
         "Relay2TriggerLevel", ""},
        {[](TDisplayConfig& c) { c.Relay2TriggerLevel = '\r', c.Relay2Enabled = 0; }, F::None, nullptr, ""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        TDisplayConfig cfg = sampleConfig();
        c.edit(cfg);
        const TFrameCheck check = checkConfigRequest(cfg);
        EXPECT_EQ(check.fault, c.fault) << "case " << i;
        EXPECT_STREQ(check.field, c.field) << "case " << i;
        EXPECT_EQ(check.sent, c.sent) << "case " << i;
    }
    EXPECT_EQ(checkRequestAddress(31).fault, TFrameFault::None);
    EXPECT_EQ(checkRequestAddress(100).sent, "10");
}

// The frame must not follow the user's locale: a French locale uses a comma.
TEST(ConfigRequest, SameBytesUnderFrenchLocale)
{
    const std::string before = frameText(buildConfigRequest(sampleConfig()));
    std::string french;
    {
        const testsupport::TScopedLocale locale("fr_FR.UTF-8");
        ASSERT_TRUE(locale.ok()) << "the fr_FR.UTF-8 locale is missing: localedef -i fr_FR -f UTF-8 fr_FR.UTF-8";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
        french = frameText(buildConfigRequest(sampleConfig()));
    }
    EXPECT_EQ(french, before);
    EXPECT_EQ(french.substr(7, 7), "+ 4.000");
}

} // namespace
