#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "trend/CsvLog.h"

using namespace std::chrono_literals;

namespace {

std::chrono::system_clock::time_point utc(int y, unsigned m, unsigned d, std::chrono::milliseconds t)
{
    return std::chrono::sys_days(std::chrono::year(y) / m / d) + t;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A private folder, a French locale and Central European time for each test.
class CsvLog : public testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/dadiz-csv-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_NE(std::setlocale(LC_ALL, "fr_FR.UTF-8"), nullptr) << "the fr_FR.UTF-8 locale must be installed";
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override
    {
        std::setlocale(LC_ALL, "C");
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string dir;
};

} // namespace

TEST_F(CsvLog, TimesAreLocalWithMillisecondsAndOffset)
{
    EXPECT_EQ(csvLocalTime(utc(2026, 12, 7, 10h + 55min + 32s + 123ms)), "2026-12-07T11:55:32.123+01:00");
    EXPECT_EQ(csvLocalTime(utc(2026, 7, 1, 23h + 59min + 59s + 999ms)), "2026-07-02T01:59:59.999+02:00");
    setenv("TZ", "<-0330>3:30", 1);
    tzset();
    EXPECT_EQ(csvLocalTime(utc(2026, 1, 1, 2h + 5ms)), "2025-12-31T22:30:00.005-03:30");
}

TEST_F(CsvLog, RowsUnderAFrenchLocale)
{
    struct Row {
        TReading reading;
        const char* row; // after the time and its comma
    };
    const auto t = utc(2026, 12, 7, 10h);
    const Row rows[] = {
        {{t, false, "  180.5 ", std::array{true, false}}, "  180.5 ,180.5,1,0,ok"},
        {{t, false, "-  012.50", std::array{false, true}}, "-  012.50,-12.50,0,1,ok"},
        {{t, true, std::nullopt, std::nullopt}, ",,,,missed"},
        {{t, false, "  ----  ", std::nullopt}, "  ----  ,,,,ok"},
        {{t, false, std::nullopt, std::array{true, true}}, ",,1,1,ok"},
        {{t, false, "1,5", std::nullopt}, "\"1,5\",,,,ok"},
        {{t, false, "a\"b", std::nullopt}, "\"a\"\"b\",,,,ok"},
        {{t, false, std::string("1\x01\n2\x7F", 5), std::nullopt}, "\"1<01><0A>2<7F>\",,,,ok"},
        {{t, false, "25.0\xB0" "C", std::nullopt}, "25.0\xC2\xB0" "C,,,,ok"},
        {{t, false, "\xB4" "1234", std::nullopt}, "\xC2\xB4" "1234,,,,ok"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(csvRow(r.reading), "2026-12-07T11:00:00.000+01:00," + std::string(r.row) + "\r\n") << r.row;
}

TEST_F(CsvLog, HeaderOnceRowsAppendedAndACutRowClosed)
{
    const std::string path = dir + "/log.csv";
    const auto t = utc(2026, 12, 7, 10h);
    {
        TCsvLog log;
        ASSERT_TRUE(log.open(path).ok);
        ASSERT_TRUE(log.append({t, false, "   1.5", std::array{false, false}}).ok);
        ASSERT_TRUE(log.append({t + 500ms, true, std::nullopt, std::nullopt}).ok);
    }
    struct stat st{};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~[] { mode_t m = umask(0); umask(m); return m; }());
    {
        // A run cut off in the middle of a row.
        std::ofstream(path, std::ios::app) << "2026-12-07T11:00:01.000+01:00,   2.";
        TCsvLog log;
        ASSERT_TRUE(log.open(path).ok);
        ASSERT_TRUE(log.append({t + 1500ms, false, "   3.0", std::nullopt}).ok);
    }
    EXPECT_EQ(readFile(path), "time,display,value,relay1,relay2,status\r\n"
                              "2026-12-07T11:00:00.000+01:00,   1.5,1.5,0,0,ok\r\n"
                              "2026-12-07T11:00:00.500+01:00,,,,,missed\r\n"
                              "2026-12-07T11:00:01.000+01:00,   2.\r\n"
                              "2026-12-07T11:00:01.500+01:00,   3.0,3.0,,,ok\r\n");
}

TEST_F(CsvLog, WhatCannotBeOpenedIsRefusedAndNamed)
{
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Row {
        std::string path;
        TFileStep step;
        int error;
        const char* french;
    };
    const Row rows[] = {
        {fifo, TFileStep::NotRegular, EINVAL, "ce n'est pas un fichier ordinaire"},
        {"/dev/null", TFileStep::NotRegular, EINVAL, "ce n'est pas un fichier ordinaire"},
        {dir, TFileStep::NotRegular, EISDIR, "c'est un dossier"},
        {dir + "/no/such.csv", TFileStep::Open, ENOENT, "fichier ou dossier inexistant"},
    };
    for (const Row& r : rows) {
        TCsvLog log;
        const FileResult result = log.open(r.path);
        EXPECT_FALSE(result.ok) << r.path;
        EXPECT_EQ(result.failedStep, r.step) << r.path;
        EXPECT_EQ(result.error, r.error) << r.path;
        EXPECT_FALSE(log.isOpen());
        EXPECT_EQ(csvFailureText(TCsvStep::Open, r.path, result, TLanguage::French),
                  "Impossible d'ouvrir " + r.path + " : " + r.french + ".");
    }
    const FileResult full{false, ENOSPC, TFileStep::Write};
    EXPECT_EQ(csvFailureText(TCsvStep::Write, "/x.csv", full, TLanguage::Catalan),
              "Enregistrament aturat: no es pot escriure a /x.csv: no queda espai al disc.");
    EXPECT_EQ(csvFailureText(TCsvStep::Write, "/x.csv", full, TLanguage::English),
              "Recording stopped: cannot write to /x.csv: no space left on the disk.");
}

// A file size limit makes write(2) fail with EFBIG as a full disk would with
// ENOSPC: the failure is reported, and the row cut short is taken back.
TEST_F(CsvLog, AFailedWriteIsReportedAndLeavesWholeRows)
{
    const std::string path = dir + "/full.csv";
    TCsvLog log;
    ASSERT_TRUE(log.open(path).ok);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    FileResult result{true};
    int written = 0;
    for (; written < 10 && result.ok; ++written)
        result = log.append({utc(2026, 12, 7, 10h + written * 500ms), false, "  180.5 ", std::array{true, false}});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(result.failedStep, TFileStep::Write);
    EXPECT_EQ(result.error, EFBIG);
    EXPECT_EQ(csvFailureReason(result, TLanguage::English), "file too large");
    const std::string content = readFile(path);
    const std::string row = csvRow({utc(2026, 12, 7, 10h), false, "  180.5 ", std::array{true, false}});
    EXPECT_EQ(content.size(), csvHeader().size() + (written - 1) * row.size());
    EXPECT_EQ(content.substr(content.size() - 2), "\r\n");
}
