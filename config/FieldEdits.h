#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Language.h"
#include "config/DisplayConfig.h"
#include "config/RecordFields.h"

// The fields of the configuration by their record names and plain names, as
// dadizctl reads, writes and checks them: with the same values and refusals
// wherever a configuration is edited by name.

// The field's value as text: numbers with '.', a relay character as '0' or
// '1', any other byte of it as <XX>, which applyAssignments takes back.
std::string fieldText(const TRecordField& field, const TDisplayConfig& cfg);

// The texts below are in `language`; field names, values and numbers (with
// '.') stay as they are.

// "a, b or c"
std::string either(const std::vector<std::string>& words, TLanguage language);

// " is outside 0..31"
std::string outsideText(const TFieldLimits& limits, TLanguage language);

// "a whole number from 0 to 31"
std::string wholeNumberWords(long long low, long long high, TLanguage language);

// "NAME must be ALLOWED, not "VALUE""
std::string refusalText(const std::string& name, const std::string& allowed, const std::string& value,
                        TLanguage language);

// The shortest text that reads back as the same double, with a '.'.
std::string exactRealText(double v);

// A JSON object holding every record field, one per line.
std::string configJson(const TDisplayConfig& cfg);

// Applies "FIELD=VALUE" assignments to cfg, by record names or plain names. Every value is checked against
// what the program's dialogs accept, with the digits and decimal point cfg
// holds once all assignments are applied; when the digits or the decimal
// point change, the values that depend on them are checked again too. On
// failure cfg may be partly changed and error names the field and the
// allowed values.
bool applyAssignments(std::span<const std::string> assignments, TLanguage language, TDisplayConfig& cfg,
                      std::string& error);

// The first field of a configuration filled from a display that holds what
// no configuration should: an index beyond its list, a number that is not
// finite, a delay type other than '0', '1' or the byte zero, a level other
// than '0' or '1' for a relay that is on, a delay outside its limits.
std::optional<std::string> receivedValueProblem(const TDisplayConfig& cfg, TLanguage language);
