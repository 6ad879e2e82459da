#pragma once

#include "base/Failure.h"
#include "base/Language.h"
#include "base/UniqueFd.h"
#include "trend/Reading.h"

#include <chrono>
#include <string>

// A log of readings in a CSV file, one row per reading, for the trend window
// and for a command-line loop alike:
//
//     TCsvLog log;
//     if (const FileResult r = log.open(path); !r.ok)
//         report(csvFailureText(TCsvStep::Open, path, r, language));
//     ... for each reading:
//     if (const FileResult r = log.append(reading); !r.ok) {
//         report(csvFailureText(TCsvStep::Write, log.path(), r, language));
//         log.close();
//     }
//
// Columns: time (ISO 8601 local time with milliseconds and UTC offset), the
// value as the display sent it, the value as a number with '.', relay 1 and
// relay 2 (0 or 1), and the status ("ok", or "missed" where no reading came).
// The header row is written only to an empty file. Each row goes to the file
// in one write(2) as soon as it is made, so a crash or a pulled plug loses at
// most the row being written.

enum class TCsvStep { Open, Write };

class TCsvLog {
public:
    // Opens `path` for appending, creating it (0666 before the umask). Only a
    // regular file is taken; a FIFO or device is refused without blocking or
    // touching it. When the file ends in a partial row (the previous run was
    // cut off), the new rows start on a line of their own. A name that is not
    // a regular file fails at TFileStep::NotRegular.
    FileResult open(const std::string& path);

    // Appends the reading's row. A failure (ENOSPC, EFBIG, EIO, ...) is at
    // TFileStep::Write; a row that could be written only in part is taken back.
    FileResult append(const TReading& reading);

    void close();
    bool isOpen() const { return fd_.valid(); }
    const std::string& path() const { return path_; }

private:
    int writeAll(const std::string& bytes);

    UniqueFd fd_;
    std::string path_;
};

// The header row and one reading's row, each ending in CR LF.
std::string csvHeader();
std::string csvRow(const TReading& reading);

// "2026-12-07T11:55:32.123+01:00" in the local time zone.
std::string csvLocalTime(std::chrono::system_clock::time_point time);

// The display's bytes as UTF-8 text in one CSV field: Latin-1 letters
// converted, control bytes shown as <XX>, quoted when they hold a comma, a
// quote or a control byte.
std::string csvDisplayField(const std::string& latin1);

// The reason for a failure, and the whole message naming the file.
std::string csvFailureReason(const FileResult& result, TLanguage language);
std::string csvFailureText(TCsvStep step, const std::string& path, const FileResult& result, TLanguage language);
