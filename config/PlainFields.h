#pragma once
#include <functional>
#include <string>
#include <vector>

#include "base/Language.h"
#include "base/Texts.h"
#include "config/DisplayConfig.h"
#include "config/RecordFields.h"

// The configuration in plain names and values, as a technician says them:
// "baud=9600", "input=j", "relay1-setpoint=180.0". Each plain name stands for
// one or two record fields.

// One record field's new value in the form the record names take.
struct TRecordAssignment {
    const TRecordField* field;
    std::string text;
    // A relay setpoint given with its decimals: it becomes a count once the
    // digits and decimal point the configuration will hold are known.
    bool scaled = false;
    // Taken only when the field holds neither '0' nor '1' and nothing else
    // in the command sets it: a relay switched on gets a level, as the relay
    // dialog gives it one.
    bool onlyIfUnset = false;
};

enum class TPlainParse { NotPlain, Done, Refused };

// Turns NAME=VALUE in plain names into record assignments. NotPlain for a
// name that is not a plain one; Refused, with the field, the value and what
// is allowed in error (in `language`), for a value the name does not take.
// Values whose bounds depend on other fields are checked with the record
// assignments.
TPlainParse expandPlain(const std::string& name, const std::string& value, TLanguage language,
                        std::vector<TRecordAssignment>& out, std::string& error);

// The record fields a plain name stands for; empty for a name that is not a plain one.
std::vector<const TRecordField*> plainFields(const std::string& name);

// Every plain name, for messages.
std::string plainNames();

struct TPlainLine {
    std::string name;  // a plain name, or the record name of a value no plain value stands for
    std::string value;
    bool number;       // the value is a number (JSON)
};

// The configuration as NAME=VALUE lines that set and new take back. A choice
// the input or a relay already names is not repeated ("signal" in process
// mode, "relay1-type" for a relay that is on). A value that has no plain
// form (an index beyond its list, a number that is not finite) is given with
// its record name, which set refuses (a relay character, which set takes back as <XX>).
std::vector<TPlainLine> plainLines(const TDisplayConfig& cfg);
// The lines of the rows whose record fields all pass `only`; a choice a left-out
// row would name is given on its own ("signal" when "input" is left out).
std::vector<TPlainLine> plainLines(const TDisplayConfig& cfg, const std::function<bool(const TRecordField&)>& only);

struct TPlainDifference {
    std::string name;
    std::string a;
    std::string b;
    bool number;
};

// The plain fields whose values differ, in the order of plainLines. With
// `only`, just the plain fields that stand for one of those record fields.
std::vector<TPlainDifference> plainDifferences(const TDisplayConfig& a, const TDisplayConfig& b,
                                               const std::vector<std::string>* only = nullptr);

// A field that differs between a file and a display: its name, the value in
// the file, the value on the display.
inline constexpr TTexts kFileAndDisplay{"%1: arxiu %2, visualitzador %3", "%1: archivo %2, visualizador %3",
    "%1 : fichier %2, afficheur %3", "%1: file %2, display %3"};
