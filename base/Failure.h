#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Language.h"

// How the program says that something failed, in the user's language: the
// words for an error number (errno), and the result of an operation on a file.

// The words for an errno: "permission denied". A number without words of its
// own reads "system error N".
std::string errorWords(int error, TLanguage language);

// A name that is not a regular file, whatever it is instead: "not a regular file".
std::string notRegularWords(TLanguage language);

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

// The result of an operation that can fail: which step failed (the kind of
// failure), the errno of the failing call (0 on success), and its words.
struct FileResult {
    bool ok = false;
    int error = 0;
    TFileStep failedStep = TFileStep::None;
    TFileKind kind = TFileKind::Regular; // for TFileStep::NotRegular
    std::size_t needed = 0;              // for TFileStep::Short: the bytes a whole file holds

    // Why it failed, e.g. "permission denied".
    std::string words(TLanguage language) const;
};

// The failure as a sentence naming the file, e.g. "/tmp/x: permission denied.".
std::string describeFileError(const std::string& path, const FileResult& result, TLanguage language);
