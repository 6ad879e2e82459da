#pragma once
#include <initializer_list>
#include <optional>
#include <string>

#include "base/Texts.h"
#include "tools/ctl/JsonText.h"
#include "tools/ctl/Options.h"

// What dadizctl writes: results on standard output, messages on standard
// error, and the forms its texts take there.

// The language of dadizctl's messages: that of --lang, set once the options are read.
void setMessageLanguage(TLanguage language);
TLanguage messageLanguage();
// A message's text in the language of the messages.
std::string say(const TTexts& texts, std::initializer_list<std::string> args = {});

// Results to standard output; false, after a message unless a stop signal
// ended the wait, when they cannot be written.
bool print(const std::string& text);
// "dadizctl: TEXT" on standard error, control bytes escaped; `hint`, the
// program's own words, follows on a line of its own.
void message(const std::string& text, const std::string& hint = {});
// True once a result could not be written: a command stops there.
bool outputFailed();

enum class TInput { Read, TooLong, Failed, Stopped };
// All of standard input, at most `limit` bytes; a stop signal ends the wait.
TInput readStandardInput(std::string& text, std::size_t limit);
// The exit status after print failed: a watch ends cleanly on a stop signal.
int printFailure(const TCtlOptions& o);

std::string trimmed(const std::string& s);
// Columns are counted in characters, not bytes: the texts are UTF-8.
std::size_t textWidth(const std::string& s);
// Local time with milliseconds, "2026-12-07T11:55:32.123".
std::string timestamp();

// A one-line progress report on standard error, shown only when it is a
// terminal; anything else written meanwhile first clears it.
class TProgress {
public:
    TProgress();
    ~TProgress();
    TProgress(const TProgress&) = delete;
    TProgress& operator=(const TProgress&) = delete;

    void show(const std::string& text);
    void clear();

private:
    bool terminal_;
    bool shown_ = false;
};
