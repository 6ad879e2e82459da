#include "protocol/Replies.h"
#include "protocol/Requests.h"
#include "protocol/RxBuffer.h"

#include "base/Formats.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// A 'P' reply as a display sends it; fields are placed at their offsets.
std::string paramsReply()
{
    return std::string("@07RP") + "11" + "I1" + "  4.000" + "D1" + "      0" + "I2" + " 20.000" + "D2" +
           "   1000" + "PD" + "1" + "TT" + "2" + "UM" + "1" + "RE" + "1" + "OF" + "50-" + "xyz" + "R1" + "10" +
           "H1" + "005" + "S1" + "  125" + "R2" + "02" + "H2" + "012" + "S2" + "\xB4" + "2345" + "\r";
}

TEST(RxBuffer, AReplyEndsAtItsFirstCR)
{
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        std::vector<TRxBuffer::TState> states;
        std::string reply;
        std::string dropped;
    };
    using S = TRxBuffer::TState;
    const std::string reply = "@07RL   12.5 RR10\r";
    const Case cases[] = {
        {"3+10+5", {reply.substr(0, 3), reply.substr(3, 10), reply.substr(13)}, {S::Incomplete, S::Incomplete, S::Complete},
            reply, ""},
        {"one piece", {reply}, {S::Complete}, reply, ""},
        {"CR inside a piece", {"@07R\rL", "x\r"}, {S::Complete, S::Complete}, "@07R\r", "Lx\r"},
        {"CR LF ending", {reply + "\n"}, {S::Complete}, reply, "\n"},
        {"empty piece", {"", "@07RE\r"}, {S::Incomplete, S::Complete}, "@07RE\r", ""},
    };
    for (const auto& c : cases) {
        TRxBuffer rx;
        for (std::size_t i = 0; i < c.pieces.size(); ++i)
            EXPECT_EQ(rx.append(bytesOf(c.pieces[i])), c.states[i]) << c.name << " piece " << i;
        EXPECT_EQ(std::string(rx.reply().begin(), rx.reply().end()), c.reply) << c.name;
        EXPECT_EQ(std::string(rx.dropped().begin(), rx.dropped().end()), c.dropped) << c.name;
        EXPECT_EQ(rx.length(), static_cast<std::int32_t>(c.reply.size())) << c.name;
        EXPECT_EQ(rx.raw()[0], 0) << c.name;
        EXPECT_EQ(rx.raw()[1], static_cast<std::uint8_t>(c.reply[0])) << c.name;
    }
}

TEST(RxBuffer, NeverStoresPastItsEnd)
{
    struct Case {
        const char* name;
        std::size_t total; // noise bytes, in pieces of 20
        bool endWithCR;
        TRxBuffer::TState final;
    };
    using S = TRxBuffer::TState;
    const Case cases[] = {
        {"noise without CR", 300, false, S::Overflow},
        {"full without CR", 202, false, S::Overflow},
        {"one short of full", 201, false, S::Incomplete},
        {"full with CR last", 202, true, S::Complete},
        {"CR that does not fit", 203, true, S::Overflow},
    };
    for (const auto& c : cases) {
        TRxBuffer rx;
        std::string all(c.total, 'x');
        if (c.endWithCR)
            all.back() = '\r';
        S state = S::Incomplete;
        for (std::size_t pos = 0; pos < all.size(); pos += 20)
            state = rx.append(bytesOf(all.substr(pos, 20)));
        EXPECT_EQ(state, c.final) << c.name;
        EXPECT_EQ(rx.length(), static_cast<std::int32_t>(std::min<std::size_t>(c.total, 202))) << c.name;
    }
    TRxBuffer rx;
    rx.append(bytesOf(std::string(300, 'x')));
    rx.reset();
    EXPECT_EQ(rx.length(), 0);
    EXPECT_EQ(rx.append(bytesOf("@07RE\r")), S::Complete);
}

TEST(ReplyCheck, AgainstTheRequest)
{
    struct Case {
        std::uint8_t address;
        char letter;
        std::string reply;
        TReplyCheck expected;
    };
    const Case cases[] = {
        {7, 'E', "@07RE\r", TReplyCheck::Accepted},
        {7, 'P', paramsReply(), TReplyCheck::Accepted},
        {7, 'P', "@08RP11\r", TReplyCheck::WrongAddress}, // another display answered
        {7, 'P', "@07RE\r", TReplyCheck::WrongLetters},
        {7, 'P', "@07XP\r", TReplyCheck::WrongLetters},
        {7, 'P', "@07R\r", TReplyCheck::WrongLetters},   // letter would be the CR
        {7, 'C', "@0\r", TReplyCheck::Noise},            // too short to hold an address
        {7, 'L', "\x8f~x@07RL\r", TReplyCheck::Noise},  // bytes that are no reply name no address
        {7, 'L', "@0?RL    12.5RR10\r", TReplyCheck::Noise},
        {7, 'L', "@08L\r", TReplyCheck::Noise},          // another request, not a reply
        {7, 'L', "@07XX        RR10\r", TReplyCheck::Accepted}, // parts tested by the reading parser
        {7, 'L', "@17RL        RR10\r", TReplyCheck::WrongAddress},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkReply(bytesOf(c.reply), buildReadRequest(c.address, c.letter)), c.expected) << c.reply;
}

TEST(AnalogParamsReply, EveryField)
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    parseAnalogParamsReply(bytesOf(paramsReply()), cfg);
    EXPECT_EQ(cfg.InputMode, 1);
    EXPECT_EQ(cfg.ProcessInput, 1);
    EXPECT_DOUBLE_EQ(cfg.InputValue1, 4.0);
    EXPECT_DOUBLE_EQ(cfg.DisplayValue1, 0.0);
    EXPECT_DOUBLE_EQ(cfg.InputValue2, 20.0);
    EXPECT_DOUBLE_EQ(cfg.DisplayValue2, 100.0);
    EXPECT_EQ(cfg.DecimalPoint, 1);
    EXPECT_EQ(cfg.ProbeType, 2);
    EXPECT_EQ(cfg.TempUnits, 1);
    EXPECT_EQ(cfg.Resolution, 1);
    EXPECT_DOUBLE_EQ(cfg.TempOffset, -0.5);
    EXPECT_EQ(cfg.Relay1Enabled, 1);
    EXPECT_EQ(cfg.Relay1DelayType, '1');
    EXPECT_EQ(cfg.Relay1TriggerLevel, '0');
    EXPECT_EQ(cfg.Relay1Delay, 5);
    EXPECT_EQ(cfg.Relay1Setpoint, 125);
    EXPECT_EQ(cfg.Relay2Enabled, 0);
    EXPECT_EQ(cfg.Relay2DelayType, '0');
    EXPECT_EQ(cfg.Relay2TriggerLevel, '2');
    EXPECT_EQ(cfg.Relay2Delay, 12);
    EXPECT_EQ(cfg.Relay2Setpoint, -12345);
}

// Replaces `text` at `pos` in a copy of the full reply.
std::string patched(std::size_t pos, const std::string& text)
{
    std::string r = paramsReply();
    r.replace(pos, text.size(), text);
    return r;
}

TEST(AnalogParamsReply, FieldEncodings)
{
    struct Case {
        const char* name;
        std::string reply;
        double displayValue1;
        double tempOffset;
        std::int32_t setpoint1;
    };
    const Case cases[] = {
        {"decimal point 2 scales", patched(18, "  12345").replace(45, 1, "2"), 123.45, -0.5, 125},
        {"decimal point 0", patched(18, "   -250").replace(45, 1, "0"), -250.0, -0.5, 125},
        {"decimal point 4", patched(18, "  12345").replace(45, 1, "4"), 1.2345, -0.5, 125},
        {"whole degrees", patched(57, "50-").replace(54, 1, "0"), 0.0, -5.0, 125},
        {"positive offset", patched(57, "31 "), 0.0, 1.3, 125},
        {"setpoint with blanks", patched(74, "  123"), 0.0, -0.5, 123},
        {"setpoint -1 segment", patched(74, "\xB4" "2345"), 0.0, -0.5, -12345},
        {"setpoint minus sign", patched(74, " -042"), 0.0, -0.5, -42},
        {"setpoint not a number", patched(74, "ab123"), 0.0, -0.5, 0},
    };
    for (const auto& c : cases) {
        TDisplayConfig cfg;
        resetToDefaults(cfg);
        parseAnalogParamsReply(bytesOf(c.reply), cfg);
        EXPECT_DOUBLE_EQ(cfg.DisplayValue1, c.displayValue1) << c.name;
        EXPECT_DOUBLE_EQ(cfg.TempOffset, c.tempOffset) << c.name;
        EXPECT_EQ(cfg.Relay1Setpoint, c.setpoint1) << c.name;
    }
}

TEST(AnalogParamsReply, MissingGroupsKeepTheirFields)
{
    TDisplayConfig before;
    resetToDefaults(before);
    before.InputValue1 = 1.5;
    before.DisplayValue1 = 7.0;
    before.DecimalPoint = 3;
    before.Relay1Setpoint = 77;
    before.Relay2Delay = 9;
    before.TempOffset = 2.0;

    // "I1" and "S1" and "H2" tags broken; "PD" broken so DecimalPoint 3 scales D1/D2.
    std::string r = patched(7, "XX");
    r.replace(72, 2, "S9");
    r.replace(83, 2, "h2");
    r.replace(43, 2, "PX");
    TDisplayConfig cfg = before;
    parseAnalogParamsReply(bytesOf(r), cfg);
    EXPECT_DOUBLE_EQ(cfg.InputValue1, 1.5);
    EXPECT_EQ(cfg.DecimalPoint, 3);
    EXPECT_DOUBLE_EQ(cfg.DisplayValue2, 1.0); // 1000 / 10^3
    EXPECT_EQ(cfg.Relay1Setpoint, 77);
    EXPECT_EQ(cfg.Relay2Delay, 9);
    EXPECT_EQ(cfg.Relay1Delay, 5);

    // Decimals beyond four leave the display values alone.
    r = patched(45, "7");
    cfg = before;
    parseAnalogParamsReply(bytesOf(r), cfg);
    EXPECT_EQ(cfg.DecimalPoint, 7);
    EXPECT_DOUBLE_EQ(cfg.DisplayValue1, 7.0);
    EXPECT_DOUBLE_EQ(cfg.InputValue1, 4.0);
}

// The parser says which fields the reply carried and which number fields
// are not the numbers their characters allow, in record order.
TEST(AnalogParamsReply, SaysWhatItCarriedAndWhatIsNotANumber)
{
    using TUnread = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* name;
        std::string reply;
        std::vector<std::string> missing;
        TUnread unreadable;
    };
    const std::vector<std::string> relays = {"Relay1Enabled", "Relay1DelayType", "Relay1TriggerLevel", "Relay1Delay",
                                             "Relay1Setpoint", "Relay2Enabled", "Relay2DelayType",
                                             "Relay2TriggerLevel", "Relay2Delay", "Relay2Setpoint"};
    std::vector<std::string> all = {"InputMode", "ProcessInput", "InputValue1", "DisplayValue1", "InputValue2",
                                    "DisplayValue2", "DecimalPoint", "TempUnits", "ProbeType", "Resolution",
                                    "TempOffset"};
    all.insert(all.end(), relays.begin(), relays.end());
    std::string garbled = patched(18, "   1e44");
    garbled.replace(74, 5, " 12x0").replace(69, 3, " 0?").replace(57, 3, "0A5").replace(45, 1, "x").replace(5, 1, "A");
    std::string oddButNumbers = patched(9, "   -.5 ");
    oddButNumbers.replace(74, 5, "1 2 3").replace(69, 3, "  7").replace(57, 3, "31+");
    const Case cases[] = {
        {"whole", paramsReply(), {}, {}},
        {"odd but numbers", oddButNumbers, {}, {}},
        {"letters only", "@07RP\r", all, {}},
        {"ends before relay 1", paramsReply().substr(0, 63) + "\r", relays, {}},
        {"broken tags", patched(7, "XX").replace(83, 2, "h2"), {"InputValue1", "Relay2Delay"}, {}},
        {"garbled",
         garbled,
         {},
         {{"InputMode", "A"},
          {"DisplayValue1", "   1e44"},
          {"DecimalPoint", "x"},
          {"TempOffset", "0A5"},
          {"Relay1Delay", " 0?"},
          {"Relay1Setpoint", " 12x0"}}},
        {"blank and signs alone", patched(27, "       ").replace(36, 7, "   -   ").replace(90, 5, "\xB4" "2-34"),
         {},
         {{"InputValue2", "       "}, {"DisplayValue2", "   -   "}, {"Relay2Setpoint", "\xB4" "2-34"}}},
    };
    for (const auto& c : cases) {
        TDisplayConfig cfg;
        resetToDefaults(cfg);
        const TParamsReplyContents contents = parseAnalogParamsReply(bytesOf(c.reply), cfg);
        const std::vector<const char*> missing = contents.missing();
        EXPECT_EQ(std::vector<std::string>(missing.begin(), missing.end()), c.missing) << c.name;
        EXPECT_EQ(contents.carried.size() + c.missing.size(), all.size()) << c.name;
        TUnread unreadable;
        for (const TUnreadableField& u : contents.unreadable)
            unreadable.emplace_back(u.field, u.text);
        EXPECT_EQ(unreadable, c.unreadable) << c.name;
    }
}

// A short reply must not pick up the groups of a longer reply collected before it.
TEST(AnalogParamsReply, GroupsBeyondTheCRAreAbsent)
{
    TRxBuffer rx;
    rx.append(bytesOf(paramsReply()));
    rx.reset();
    std::string shortReply = paramsReply().substr(0, 63) + "\r"; // ends before "R1"
    ASSERT_EQ(rx.append(bytesOf(shortReply)), TRxBuffer::TState::Complete);
    // The stale relay bytes are still in the raw buffer.
    ASSERT_EQ(rx.raw()[65 + 1], '1');

    TDisplayConfig cfg;
    resetToDefaults(cfg);
    cfg.Relay1Setpoint = 42;
    cfg.Relay2Delay = 3;
    parseAnalogParamsReply(rx.reply(), cfg);
    EXPECT_DOUBLE_EQ(cfg.TempOffset, -0.5);
    EXPECT_EQ(cfg.Relay1Enabled, 0);
    EXPECT_EQ(cfg.Relay1Setpoint, 42);
    EXPECT_EQ(cfg.Relay2Delay, 3);

    // A group cut by the CR is absent as well: "OF" with only two of its three characters.
    rx.reset();
    rx.append(bytesOf(paramsReply().substr(0, 59) + "\r"));
    cfg.TempOffset = 9.0;
    parseAnalogParamsReply(rx.reply(), cfg);
    EXPECT_DOUBLE_EQ(cfg.TempOffset, 9.0);
    EXPECT_EQ(cfg.Resolution, 1);
}

TEST(DisplayReadingReply, ValueAndRelays)
{
    struct Case {
        std::string reply;
        std::optional<std::string> value;
        std::optional<std::array<bool, 2>> relays;
    };
    const Case cases[] = {
        {"@07RL  -12.50RR10\r", "  -12.50", std::array<bool, 2>{true, false}},
        {"@07RL    1234RR01\r", "    1234", std::array<bool, 2>{false, true}},
        {"@07RL    1234RRx1\r", "    1234", std::array<bool, 2>{false, true}},
        {"@07RL    1234\r", "    1234", std::nullopt},           // no relay block
        {"@07RL    1234RR1\r", "    1234", std::nullopt},        // block cut by the CR
        {"@07RX    1234RR11\r", std::nullopt, std::array<bool, 2>{true, true}},
        {std::string("@07RL12") + '\0' + "34567RR00\r", "12", std::array<bool, 2>{false, false}},
        {"@07RL123\r", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const TDisplayReading r = parseDisplayReadingReply(bytesOf(c.reply));
        EXPECT_EQ(r.value, c.value) << c.reply;
        EXPECT_EQ(r.relays, c.relays) << c.reply;
    }
}

std::string calibrationReply()
{
    std::string r = "@31RC";
    for (int n = 0; n < 18; ++n) {
        r += static_cast<char>('1' + n % 9);
        r += n < 9 ? 'C' : 'D';
        r += n == 17 ? std::string("0253 ") : cfmt("%5d", 1000 + n + 1);
    }
    return r + "\r";
}

TEST(CalibrationReply, BoxesByItem)
{
    const TCalibrationTexts t = parseCalibrationReply(bytesOf(calibrationReply()));
    EXPECT_EQ(t[0], " 1001");
    EXPECT_EQ(t[4], " 1005");
    EXPECT_EQ(t[6], " 1006"); // item 6 in Edit7
    EXPECT_EQ(t[5], " 1007"); // item 7 in Edit6
    EXPECT_EQ(t[7], " 1008");
    EXPECT_EQ(t[16], " 1017");
    EXPECT_EQ(t[17], "025.3"); // point inserted before the fourth character
}

TEST(CalibrationReply, AbsentItems)
{
    struct Case {
        const char* name;
        std::string reply;
        std::vector<std::size_t> absentBoxes;
    };
    std::string wrong3 = calibrationReply();
    wrong3.replace(19, 2, "3X");
    std::string wrong6 = calibrationReply();
    wrong6.replace(40, 2, "7C");
    const Case cases[] = {
        {"item 3 code wrong", wrong3, {2}},
        {"item 6 code wrong", wrong6, {6}},
        {"CR after item 10", calibrationReply().substr(0, 75) + "\r", {10, 11, 12, 13, 14, 15, 16, 17}},
        {"item 18 cut by the CR", calibrationReply().substr(0, 129) + "\r", {17}},
        {"item 18 without offset 130", calibrationReply().substr(0, 130) + "\r", {}},
    };
    for (const auto& c : cases) {
        const TCalibrationTexts t = parseCalibrationReply(bytesOf(c.reply));
        for (std::size_t box = 0; box < t.size(); ++box) {
            const bool absent = std::find(c.absentBoxes.begin(), c.absentBoxes.end(), box) != c.absentBoxes.end();
            EXPECT_EQ(t[box].has_value(), !absent) << c.name << " box " << box + 1;
        }
    }
}

} // namespace
