#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "config/DisplayConfig.h"

// Result of a file operation; error is the errno of the failing call (0 on success).
struct FileResult {
    bool ok = false;
    int error = 0;
    std::string failedStep; // "open", "read", "write", "rename", ... for the message
};

// Reads a configuration file. A file shorter than a record is refused
// (error EINVAL, failedStep "short") and cfg is left untouched; bytes after
// the record are ignored.
FileResult loadConfigFile(const std::string& path, TDisplayConfig& cfg);

// Writes the record to path without ever leaving a truncated file: the bytes
// go to a temporary file in the same folder, which then replaces the target.
FileResult saveConfigFile(const std::string& path, const TDisplayConfig& cfg);

// Writes data to path atomically as above; a symbolic link is followed, and an
// existing file keeps its permissions.
FileResult writeFileAtomically(const std::string& path, const void* data, std::size_t size);

// The language settings file: one byte, 0..3. Missing, empty, unreadable or
// a byte above 3 all read as 0 (Catalan).
inline constexpr const char* LanguageFileName = "Conf.dad";
std::uint8_t readLanguageFile(const std::string& path = LanguageFileName);
FileResult writeLanguageFile(std::uint8_t language, const std::string& path = LanguageFileName);

// Plain words for a failed file operation, e.g. "/tmp/x: permission denied".
std::string describeFileError(const std::string& path, const FileResult& result);
