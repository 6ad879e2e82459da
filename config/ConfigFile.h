#pragma once
#include <cstdint>
#include <string>

#include "config/DisplayConfig.h"

// The step of a file operation that failed.
enum class TFileStep : std::uint8_t {
    None,       // nothing failed
    Open,       // the file (or the temporary beside it) could not be opened or created
    NotRegular, // a folder, device, FIFO or socket: left as it was (error EISDIR for a folder, else EINVAL)
    Read,
    Short,      // fewer bytes than a record (error EINVAL)
    Write,      // writing, syncing or closing failed
    Rename,     // the temporary file could not take the target's place
};

// What a name holds, where it is not a regular file.
enum class TFileKind : std::uint8_t { Regular, Folder, Device, Fifo, Socket };

// Result of a file operation; error is the errno of the failing call (0 on success).
struct FileResult {
    bool ok = false;
    int error = 0;
    TFileStep failedStep = TFileStep::None;
    TFileKind kind = TFileKind::Regular; // for TFileStep::NotRegular
};

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

// Plain words for a failed file operation in the user's language (0 Catalan,
// 1 Spanish, 2 French, 3 English), e.g. "/tmp/x: permission denied.".
std::string describeFileError(const std::string& path, const FileResult& result, int language);
