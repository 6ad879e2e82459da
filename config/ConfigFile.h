#pragma once
#include <cstdint>
#include <string>

#include "base/Failure.h"
#include "config/DisplayConfig.h"

// Reads a configuration file. Only a regular file (or a link to one) is read,
// and never with a read that could wait. A file shorter than a record is
// refused (TFileStep::Short) and cfg is left untouched; bytes after the record
// are ignored.
FileResult loadConfigFile(const std::string& path, TDisplayConfig& cfg);

// Writes the record to path. It fails wherever creating or truncating the
// file would fail (a write-protected file is refused, never replaced), and
// only a regular file, a missing one or a symbolic link to either is written
// (through the link, which stays). The bytes go to a temporary file beside the
// target that then replaces it, keeping its mode, owner and group; the file is
// written in place instead where that replacement is impossible or would
// lose something (read-only folder, hard links, an owner that cannot be kept).
FileResult saveConfigFile(const std::string& path, const TDisplayConfig& cfg);
// Any other file the program writes, by the same rules.
FileResult saveFile(const std::string& path, const void* data, std::size_t size);

// The language settings file: one byte, 0..3. Missing, empty, unreadable,
// not a regular file or a byte above 3 all read as 0 (Catalan).
inline constexpr const char* LanguageFileName = "Conf.dad";
std::uint8_t readLanguageFile(const std::string& path = LanguageFileName);
// Written as saveConfigFile writes; on failure the file keeps its byte.
FileResult writeLanguageFile(std::uint8_t language, const std::string& path = LanguageFileName);

