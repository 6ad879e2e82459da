#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <sys/resource.h>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "config/ConfigFile.h"
#include "config/RecordCodec.h"
#include "config/RecordFields.h"
#include "support/Bytes.h"
#include "support/ConfigFields.h"

namespace fs = std::filesystem;
using testsupport::readAll;
using testsupport::writeAll;

namespace {

class TempDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/dadiz-config-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }
    fs::path dir;
};

TDisplayConfig oddConfig()
{
    TDisplayConfig c;
    c.PortIndex = 9;
    c.ParityIndex = 1;
    c.DataBitsIndex = 1;
    c.StopBitsIndex = 1;
    c.BaudIndex = 4;
    c.Address = 31;
    c.DigitsIndex = 8;
    c.InputMode = 1;
    c.ProcessInput = 1;
    c.InputValue1 = std::numeric_limits<double>::quiet_NaN();
    c.DisplayValue1 = -0.0;
    c.InputValue2 = 1e-300;
    c.DisplayValue2 = -std::numeric_limits<double>::infinity();
    c.DecimalPoint = 5;
    c.TempUnits = 1;
    c.ProbeType = 3;
    c.Resolution = 1;
    c.TempOffset = std::numeric_limits<double>::denorm_min();
    c.Relay1Enabled = 1;
    c.Relay1DelayType = '0';
    c.Relay1TriggerLevel = '1';
    c.Relay1Delay = 999;
    c.Relay1Setpoint = -19999;
    c.Relay2Enabled = 7;
    c.Relay2DelayType = 'x';
    c.Relay2TriggerLevel = '\x80';
    c.Relay2Delay = INT32_MIN;
    c.Relay2Setpoint = INT32_MAX;
    return c;
}

} // namespace

TEST(Record, NewConfigurationHasOnlyTheDigitsByte)
{
    TDisplayConfig c;
    resetToDefaults(c);
    const TRecord r = encodeRecord(c);
    for (std::size_t i = 0; i < RecordSize; ++i)
        EXPECT_EQ(r[i], i == 6 ? 0x02 : 0x00) << "offset " << i;
}

TEST(Record, FieldsSitAtTheirOffsetsLittleEndian)
{
    TDisplayConfig c;
    c.Relay1DelayType = '0';
    c.Relay1TriggerLevel = '0';
    c.InputValue1 = 1.0; // 0x3FF0000000000000
    c.Relay2Setpoint = 0x01020304;
    c.Relay1Delay = -2;
    c.TempOffset = -2.5; // 0xC004000000000000
    const TRecord r = encodeRecord(c);
    EXPECT_EQ(r[65], 0x30);
    EXPECT_EQ(r[66], 0x30);
    EXPECT_EQ(r[22], 0xF0);
    EXPECT_EQ(r[23], 0x3F);
    EXPECT_EQ(r[84], 0x04);
    EXPECT_EQ(r[87], 0x01);
    EXPECT_EQ(r[68], 0xFE);
    EXPECT_EQ(r[71], 0xFF);
    EXPECT_EQ(r[62], 0x04);
    EXPECT_EQ(r[63], 0xC0);
    for (std::size_t pad : {9u, 10u, 11u, 12u, 13u, 14u, 15u, 52u, 53u, 54u, 55u, 67u, 79u})
        EXPECT_EQ(r[pad], 0) << "pad " << pad;
}

// Each field is found again by its name and by its place in a configuration;
// the fields of relay n are the ones relay(n) hands out.
TEST(Record, EveryFieldIsFoundByNameAndPlace)
{
    const TDisplayConfig c;
    for (const TRecordField& f : recordFields()) {
        EXPECT_EQ(findRecordField(f.name), &f) << f.name;
        EXPECT_EQ(&recordFieldAt(c, f.placeIn(c)), &f) << f.name;
        if (f.relay != 0) {
            const TConstRelayFields r = c.relay(f.relay);
            const void* own[] = {&r.Enabled, &r.DelayType, &r.TriggerLevel, &r.Delay, &r.Setpoint};
            EXPECT_NE(std::find(std::begin(own), std::end(own), f.placeIn(c)), std::end(own)) << f.name;
        }
    }
    EXPECT_EQ(recordFields().size(), 28u);
}

namespace {

// The layout of a stored file, written out by hand: each field byte holds its
// offset plus one, the pad bytes zero. A field moved the same way in reading
// and writing would still round-trip, but not match these bytes.
const TRecord kLayout = {
    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, // port, parity, data, stop, baud, address, digits, mode
    0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // process input, pad
    0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, // input value 1
    0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, // display value 1
    0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, // input value 2
    0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, // display value 2
    0x31, 0x32, 0x33, 0x34, 0x00, 0x00, 0x00, 0x00, // decimal point, units, probe, resolution, pad
    0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, // thermometer offset
    0x41, 0x42, 0x43, 0x00, 0x45, 0x46, 0x47, 0x48, // relay 1: enabled, delay type, level, pad, delay
    0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x00, // relay 1 setpoint; relay 2: enabled, delay type, level, pad
    0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, // relay 2: delay, setpoint
};

TDisplayConfig layoutFields()
{
    TDisplayConfig c;
    c.PortIndex = 0x01;
    c.ParityIndex = 0x02;
    c.DataBitsIndex = 0x03;
    c.StopBitsIndex = 0x04;
    c.BaudIndex = 0x05;
    c.Address = 0x06;
    c.DigitsIndex = 0x07;
    c.InputMode = 0x08;
    c.ProcessInput = 0x09;
    c.InputValue1 = std::bit_cast<double>(std::uint64_t{0x1817161514131211});
    c.DisplayValue1 = std::bit_cast<double>(std::uint64_t{0x201F1E1D1C1B1A19});
    c.InputValue2 = std::bit_cast<double>(std::uint64_t{0x2827262524232221});
    c.DisplayValue2 = std::bit_cast<double>(std::uint64_t{0x302F2E2D2C2B2A29});
    c.DecimalPoint = 0x31;
    c.TempUnits = 0x32;
    c.ProbeType = 0x33;
    c.Resolution = 0x34;
    c.TempOffset = std::bit_cast<double>(std::uint64_t{0x403F3E3D3C3B3A39});
    c.Relay1Enabled = 0x41;
    c.Relay1DelayType = 0x42;
    c.Relay1TriggerLevel = 0x43;
    c.Relay1Delay = 0x48474645;
    c.Relay1Setpoint = 0x4C4B4A49;
    c.Relay2Enabled = 0x4D;
    c.Relay2DelayType = 0x4E;
    c.Relay2TriggerLevel = 0x4F;
    c.Relay2Delay = 0x54535251;
    c.Relay2Setpoint = 0x58575655;
    return c;
}

} // namespace

TEST(Record, LayoutOfAStoredFile)
{
    TDisplayConfig read;
    resetToDefaults(read);
    decodeRecord(kLayout, read);
    EXPECT_EQ(testsupport::configDifferences(read, layoutFields()), std::vector<std::string>{});
    EXPECT_EQ(encodeRecord(layoutFields()), kLayout);

    // Whatever the pad bytes of a file hold, they are not read.
    TRecord padded = kLayout;
    for (std::size_t pad : {9u, 10u, 11u, 12u, 13u, 14u, 15u, 52u, 53u, 54u, 55u, 67u, 79u})
        padded[pad] = 0xEE;
    TDisplayConfig fromPadded;
    decodeRecord(padded, fromPadded);
    EXPECT_EQ(testsupport::configDifferences(fromPadded, layoutFields()), std::vector<std::string>{});
}

TEST(Record, EveryFieldRoundTripsBitForBit)
{
    const TDisplayConfig in = oddConfig();
    TDisplayConfig out;
    out.TestValue = 3.5;
    out.DisplayParams.Param6 = 'x';
    decodeRecord(encodeRecord(in), out);
    EXPECT_EQ(encodeRecord(out), encodeRecord(in));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(out.DisplayValue1), std::bit_cast<std::uint64_t>(-0.0));
    EXPECT_TRUE(std::isnan(out.InputValue1));
    EXPECT_EQ(out.InputValue2, 1e-300);
    EXPECT_EQ(out.Relay2TriggerLevel, '\x80');
    // Fields the record does not carry keep their values.
    EXPECT_EQ(out.TestValue, 3.5);
    EXPECT_EQ(out.DisplayParams.Param6, 'x');
}

TEST_F(TempDir, SaveThenOpenThenSaveKeepsEveryByte)
{
    const fs::path a = dir / "a.cfg", b = dir / "b.cfg";
    ASSERT_TRUE(saveConfigFile(a, oddConfig()).ok);
    TDisplayConfig loaded;
    ASSERT_TRUE(loadConfigFile(a, loaded).ok);
    ASSERT_TRUE(saveConfigFile(b, loaded).ok);
    EXPECT_EQ(readAll(a).size(), RecordSize);
    EXPECT_EQ(readAll(a), readAll(b));
}

TEST_F(TempDir, ShortFilesAreRefusedAndLongFilesUseTheirFirstRecord)
{
    const TRecord full = encodeRecord(oddConfig());
    const fs::path p = dir / "f";
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, RecordSize - 1}) {
        writeAll(p, std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<long>(size)));
        TDisplayConfig c;
        resetToDefaults(c);
        const FileResult r = loadConfigFile(p, c);
        EXPECT_FALSE(r.ok) << size;
        EXPECT_EQ(r.failedStep, TFileStep::Short);
        EXPECT_EQ(c.DigitsIndex, 2) << "configuration untouched";
        EXPECT_NE(describeFileError(p, r, TLanguage::English).find("shorter"), std::string::npos);
    }
    std::vector<std::uint8_t> longer(full.begin(), full.end());
    longer.insert(longer.end(), 500, 0xAA);
    writeAll(p, longer);
    TDisplayConfig c;
    ASSERT_TRUE(loadConfigFile(p, c).ok);
    EXPECT_EQ(encodeRecord(c), full);
}

TEST_F(TempDir, MissingFileAndDirectoryAreOpenErrors)
{
    TDisplayConfig c;
    FileResult r = loadConfigFile(dir / "none", c);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, ENOENT);
    r = loadConfigFile(dir, c);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, EISDIR);
}

TEST_F(TempDir, FailedSavesKeepThePreviousFileAndLeaveNoTemporary)
{
    const fs::path p = dir / "keep.cfg";
    TDisplayConfig old;
    resetToDefaults(old);
    ASSERT_TRUE(saveConfigFile(p, old).ok);
    const auto before = readAll(p);

    // Onto a directory.
    fs::create_directory(dir / "sub");
    const FileResult r = saveConfigFile(dir / "sub", oddConfig());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, EISDIR);

    // File size limit: the write fails (SIGXFSZ ignored so write returns EFBIG).
    if (::fork() == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {10, 10};
        setrlimit(RLIMIT_FSIZE, &lim);
        const FileResult child = saveConfigFile(p, oddConfig());
        _exit(!child.ok && child.error == EFBIG ? 0 : 1);
    }
    int status = 0;
    ::wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readAll(p), before);

    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 2u) << "only keep.cfg and sub remain";
}

TEST_F(TempDir, LanguageFileReadsZeroForAnythingButOneByteUpToThree)
{
    const std::string p = dir / "Conf.dad";
    EXPECT_EQ(readLanguageFile(p), 0) << "missing";
    writeAll(p, {});
    EXPECT_EQ(readLanguageFile(p), 0) << "empty";
    for (std::uint8_t b : {0, 1, 2, 3}) {
        ASSERT_TRUE(writeLanguageFile(b, p).ok);
        EXPECT_EQ(readAll(p), std::vector<std::uint8_t>{b});
        EXPECT_EQ(readLanguageFile(p), b);
    }
    writeAll(p, {4});
    EXPECT_EQ(readLanguageFile(p), 0);
    writeAll(p, {0xFF, 2});
    EXPECT_EQ(readLanguageFile(p), 0);
    fs::remove(p);
    fs::create_directory(p);
    EXPECT_EQ(readLanguageFile(p), 0) << "a directory";
    EXPECT_FALSE(writeLanguageFile(2, p).ok);
}
