#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "base/Formats.h"
#include "config/LineFormat.h"
#include "config/PanelTexts.h"
#include "support/Locale.h"

namespace {

TDisplayConfig defaults()
{
    TDisplayConfig c;
    resetToDefaults(c);
    return c;
}

} // namespace

TEST(Formats, GeneralFloatText)
{
    struct Row {
        double value;
        const char* text;
    };
    const Row rows[] = {
        {0.0, "0"}, {-0.0, "0"}, {4.0, "4"}, {4.5, "4.5"}, {-19999.0, "-19999"}, {0.1 + 0.2, "0.3"},
        {12.345, "12.345"}, {0.00001, "0.00001"}, {0.000009, "9E-6"}, {-1.5e-7, "-1.5E-7"}, {1e-300, "1E-300"},
        {123456789012345.0, "123456789012345"}, {1234567890123456.0, "1.23456789012346E15"}, {1e20, "1E20"},
        {99.9, "99.9"}, {1.0 / 3.0, "0.333333333333333"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"}, {-std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(generalFloatText(r.value), r.text) << r.value;
}

TEST(Formats, TextToNumberStopsAtTheFirstUnusableCharacter)
{
    EXPECT_EQ(textToDouble("  12.5xyz"), 12.5);
    EXPECT_EQ(textToDouble("abc"), 0.0);
    EXPECT_EQ(textToDouble(""), 0.0);
    EXPECT_EQ(textToDouble("-.5"), -0.5);
    EXPECT_EQ(textToDouble("1e3x"), 1000.0);
    EXPECT_EQ(textToDouble("2e"), 2.0);
    EXPECT_EQ(textToDouble("  +7."), 7.0);
    EXPECT_EQ(textToDouble("nan"), 0.0);
    EXPECT_EQ(textToDouble("-inf"), 0.0);
    EXPECT_EQ(textToDouble("0x1A"), 0.0);
    EXPECT_EQ(textToInt(" -0012"), -12);
    EXPECT_EQ(textToInt("12a"), 12);
    EXPECT_EQ(textToInt("--1"), 0);
    EXPECT_EQ(textToInt("99999999999"), INT32_MAX);
}

// QApplication sets the C library locale from the environment; the panels
// must still write points, and reading must still accept them.
TEST(Formats, NumbersUseAPointUnderAFrenchLocale)
{
    const testsupport::TScopedLocale locale("fr_FR.UTF-8");
    ASSERT_TRUE(locale.ok()) << "the fr_FR.UTF-8 locale must be installed";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5") << "the locale really uses a comma";

    EXPECT_EQ(cfmt("%05.1f", 12.5), "012.5");
    EXPECT_EQ(generalFloatText(-4.25), "-4.25");
    EXPECT_EQ(textToDouble("4.25"), 4.25);
    TDisplayConfig c = defaults();
    c.InputValue1 = 0.5;
    c.Relay1Enabled = 1;
    c.Relay1Setpoint = 125;
    c.DecimalPoint = 1;
    EXPECT_EQ(*analogPanelText(c, TLanguage::French).value[2], "0.5");
    EXPECT_EQ(relayPanelText(c, 1, TLanguage::French).setpoint, "012.5");
}

TEST(SerialPanel, DefaultsAndOutOfRangeIndexes)
{
    TDisplayConfig c = defaults();
    SerialPanelText t = serialPanelText(c);
    EXPECT_EQ(t.port, "COM1");
    EXPECT_EQ(t.baud, "1200");
    EXPECT_EQ(t.parity, "Par");
    EXPECT_EQ(t.stopBits, "1");
    EXPECT_EQ(t.dataBits, "7");
    EXPECT_EQ(t.address, "00");
    EXPECT_EQ(t.digits, " 4");

    c.PortIndex = 9;
    c.BaudIndex = 5;
    c.ParityIndex = 3;
    c.StopBitsIndex = 2;
    c.DataBitsIndex = 255;
    c.Address = 5;
    c.DigitsIndex = 8;
    t = serialPanelText(c);
    EXPECT_EQ(t.port, "---");
    EXPECT_EQ(t.baud, "---");
    EXPECT_EQ(t.parity, "---");
    EXPECT_EQ(t.stopBits, "---");
    EXPECT_EQ(t.dataBits, "---");
    EXPECT_EQ(t.address, "05");
    EXPECT_EQ(t.digits, "10");
}

// Each list position is one setting and goes back to the same position; a
// position beyond its list is an unset port's setting; a setting no list
// holds leaves its position alone.
TEST(LineFormat, PositionsAndSettings)
{
    struct Row {
        std::uint8_t baud, parity, data, stop;
        std::int32_t speed;
        const char* format;
        std::uint8_t storedBaud, storedParity, storedData, storedStop;
    };
    const Row rows[] = {
        {0, 0, 0, 0, 1200, "7E1", 0, 0, 0, 0},
        {4, 1, 1, 1, 19200, "8O2", 4, 1, 1, 1},
        {3, 2, 0, 1, 9600, "7N2", 3, 2, 0, 1},
        {5, 3, 2, 2, 9600, "8N1", 3, 2, 1, 0},
        {255, 255, 255, 255, 9600, "8N1", 3, 2, 1, 0},
    };
    for (const Row& r : rows) {
        TDisplayConfig c;
        c.BaudIndex = r.baud;
        c.ParityIndex = r.parity;
        c.DataBitsIndex = r.data;
        c.StopBitsIndex = r.stop;
        const TLineFormat line = lineFormatOf(c);
        EXPECT_EQ(line.baud, r.speed) << r.format;
        EXPECT_EQ(formatText(line), r.format);
        TDisplayConfig back;
        storeLineFormat(line, back);
        EXPECT_EQ(back.BaudIndex, r.storedBaud) << r.format;
        EXPECT_EQ(back.ParityIndex, r.storedParity) << r.format;
        EXPECT_EQ(back.DataBitsIndex, r.storedData) << r.format;
        EXPECT_EQ(back.StopBitsIndex, r.storedStop) << r.format;
    }
    TDisplayConfig kept;
    kept.BaudIndex = kept.DataBitsIndex = kept.StopBitsIndex = 7;
    storeLineFormat({38400, TLineParity::Odd, 5, 3}, kept);
    EXPECT_EQ(kept.BaudIndex, 7);
    EXPECT_EQ(kept.ParityIndex, 1);
    EXPECT_EQ(kept.DataBitsIndex, 7);
    EXPECT_EQ(kept.StopBitsIndex, 7);
    EXPECT_EQ(speedWords(), (std::vector<std::string>{"1200", "2400", "4800", "9600", "19200"}));
}

TEST(AnalogPanel, ProcessModeInEveryLanguage)
{
    struct Row {
        std::uint8_t lang;
        const char* mode;
        const char* voltage;
        const char* label8;
        const char* label11;
    };
    const Row rows[] = {
        {0, "Procès", "Tensió", "Valor entrada 1", "Valor display entrada 2"},
        {1, "Proceso", "Tensión", "Valor entrada 1", "Valor display entrada 2"},
        {2, "Process", "Tension ", "Valeur entrée 1", "Valeur affichage 2"},
        {3, "Process", "Voltage ", "Input value  1", "Display value  2"},
    };
    for (const Row& r : rows) {
        const AnalogPanelText t = analogPanelText(defaults(), kLanguages[r.lang]);
        EXPECT_EQ(*t.value[0], r.mode);
        EXPECT_EQ(*t.value[1], r.voltage);
        EXPECT_EQ(*t.label[2], r.label8);
        EXPECT_EQ(*t.label[5], r.label11);
        for (int i = 2; i <= 6; ++i)
            EXPECT_EQ(*t.value[i], "0") << "row " << i;
        EXPECT_EQ(t.lastRowsShown, true);
    }
    EXPECT_EQ(*analogPanelText(defaults(), TLanguage::French).label[0], "Contrôle ");
}

// An index outside 0..3 names no language: the windows keep their built-in
// (mostly Spanish) texts, and the panels read Spanish beside them.
TEST(AnalogPanel, AnIndexOutsideTheFourLanguagesReadsSpanish)
{
    struct Row {
        int index;
        std::optional<TLanguage> named;
    };
    const Row rows[] = {{0, TLanguage::Catalan}, {1, TLanguage::Spanish}, {2, TLanguage::French},
        {3, TLanguage::English}, {-1, std::nullopt}, {4, std::nullopt}, {7, std::nullopt}, {255, std::nullopt}};
    for (const Row& r : rows) {
        EXPECT_EQ(languageAt(r.index), r.named) << r.index;
        EXPECT_EQ(textLanguage(r.index), r.named.value_or(TLanguage::Spanish)) << r.index;
    }
    EXPECT_EQ(*analogPanelText(defaults(), textLanguage(7)).value[0], "Proceso");
}

TEST(AnalogPanel, ProcessDetails)
{
    TDisplayConfig c = defaults();
    c.ProcessInput = 1;
    EXPECT_EQ(*analogPanelText(c, TLanguage::English).value[1], "Current");
    c.ProcessInput = 2;
    EXPECT_FALSE(analogPanelText(c, TLanguage::English).value[1].has_value()) << "an unknown input type leaves the box as it was";
    const char* patterns[] = {"0", "0,0", "0,00", "0,000", "0,0000", "0,00000", "---"};
    for (int dp = 0; dp <= 6; ++dp) {
        c.DecimalPoint = static_cast<std::uint8_t>(dp);
        EXPECT_EQ(*analogPanelText(c, TLanguage::Catalan).value[6], patterns[dp]);
    }
}

TEST(AnalogPanel, TemperatureModeShowsFiveRows)
{
    TDisplayConfig c = defaults();
    c.InputMode = 1;
    c.TempOffset = -2.5;
    AnalogPanelText t = analogPanelText(c, TLanguage::Spanish);
    EXPECT_EQ(*t.value[0], "Termómetro");
    EXPECT_EQ(*t.label[1], "Unidad de medida");
    EXPECT_EQ(*t.value[1], "ºF");
    EXPECT_EQ(*t.value[2], "PT100");
    EXPECT_EQ(*t.value[3], "1°");
    EXPECT_EQ(*t.label[4], "Offset del termómetro");
    EXPECT_EQ(*t.value[4], "-2.5");
    EXPECT_EQ(*t.label[5], "");
    EXPECT_EQ(*t.value[6], "");
    EXPECT_EQ(t.lastRowsShown, false);

    c.TempUnits = 1;
    c.ProbeType = 2;
    c.Resolution = 1;
    t = analogPanelText(c, TLanguage::English);
    EXPECT_EQ(*t.value[1], "ºC");
    EXPECT_EQ(*t.value[2], "TC K");
    EXPECT_EQ(*t.value[3], "0,1º");
    c.TempUnits = 2;
    c.ProbeType = 4;
    c.Resolution = 2;
    t = analogPanelText(c, TLanguage::English);
    EXPECT_EQ(*t.value[1], "---");
    EXPECT_EQ(*t.value[2], "---");
    EXPECT_EQ(*t.value[3], "---");

    c.InputMode = 2;
    t = analogPanelText(c, TLanguage::Catalan);
    EXPECT_EQ(*t.value[0], "---");
    for (int i = 1; i < 7; ++i) {
        EXPECT_FALSE(t.value[i].has_value());
        EXPECT_FALSE(t.label[i].has_value());
    }
    EXPECT_FALSE(t.lastRowsShown.has_value());
}

TEST(RelayPanel, DisabledRelayAfterNewInEveryLanguage)
{
    const char* hysteresis[] = {"Valor histeresis", "Valor histeresis", "Valeur hystérésis", "Hysteresis value"};
    const char* low[] = {"Activat si valor < nivell dispar", "Activado si valor < nivel disparo",
        "On si valeur < seuil", "On if value < level"};
    for (std::uint8_t lang = 0; lang < 4; ++lang)
        for (int relay : {1, 2}) {
            const RelayPanelText t = relayPanelText(defaults(), relay, kLanguages[lang]);
            EXPECT_FALSE(t.enabled);
            EXPECT_EQ(t.delayLabel, hysteresis[lang]);
            EXPECT_EQ(t.triggerText, low[lang]);
            EXPECT_EQ(t.delay, " ");
            EXPECT_EQ(t.setpoint, " ");
        }
}

TEST(RelayPanel, EnabledRelayTexts)
{
    TDisplayConfig c = defaults();
    c.Relay2Enabled = 1;
    c.Relay2DelayType = '0';
    c.Relay2TriggerLevel = '0';
    c.Relay2Delay = 5;
    c.Relay2Setpoint = -5;
    RelayPanelText t = relayPanelText(c, 2, TLanguage::English);
    EXPECT_TRUE(t.enabled);
    EXPECT_EQ(t.delayLabel, "Delay");
    EXPECT_EQ(t.triggerText, "On if value > level");
    EXPECT_EQ(t.delay, "005");
    EXPECT_EQ(t.setpoint, "-0005");
    EXPECT_FALSE(relayPanelText(c, 1, TLanguage::English).enabled) << "relay 1 follows its own fields";
    c.Relay2Enabled = 2;
    EXPECT_FALSE(relayPanelText(c, 2, TLanguage::English).enabled) << "only 1 means enabled";
}

TEST(RelayPanel, SetpointWidthFollowsDigitsAndDecimals)
{
    struct Row {
        std::int32_t sp;
        std::uint8_t digits;
        std::uint8_t dp;
        const char* text;
    };
    const Row rows[] = {
        {125, 2, 1, "012.5"}, {-5, 2, 0, "-0005"}, {1234, 2, 3, "1.234"}, {1234, 2, 4, "1.234"},
        {12, 1, 0, "0012"}, {12, 1, 1, "01.2"}, {12, 1, 2, "0.12"}, {12, 1, 5, "0.12"},
        {-1234, 2, 2, "-12.34"}, {19999, 3, 0, "019999"}, {19999, 8, 4, "1.9999"}, {5, 0, 3, "00.005"},
        {-19999, 4, 1, "-1999.9"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(setpointText(r.sp, r.digits, r.dp), r.text) << r.sp << " digits " << int(r.digits) << " dp "
                                                               << int(r.dp);
}
