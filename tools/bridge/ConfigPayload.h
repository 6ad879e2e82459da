#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/Language.h"
#include "config/DisplayConfig.h"

// The configuration payloads of the MQTT topics: a display's configuration
// as a JSON object in dadizctl's plain names, and a change to it.

inline constexpr std::size_t kMaxConfigPayload = 4096;

// One flat JSON object whose values are strings or numbers, as NAME=VALUE
// assignments in its order; a number keeps the text it was written with, so
// that it is checked as dadizctl set checks it. Anything else (nesting,
// arrays, true/false/null, a name twice, bytes after the object, text that
// is not UTF-8, more than kMaxConfigPayload bytes) is refused with why, in
// `language` (0 Catalan, 1 Spanish, 2 French, 3 English).
bool parseConfigPayload(std::string_view json, TLanguage language, std::vector<std::string>& assignments,
                        std::string& error);

// Applies a payload to `cfg`, the display's configuration as it was read:
// only the fields the display's configuration request carries may be named
// (the line, the address and the digits are the bridge file's), and every
// value is checked as dadizctl set checks it, with the digits of `cfg`. On
// failure `cfg` is unchanged and error says why. The refusals of dadizctl
// set's checks are its own, in English.
bool applyConfigPayload(std::string_view json, TLanguage language, TDisplayConfig& cfg, std::string& error);

// The fields the configuration request carries, in plain names, as one JSON object.
std::string configPayloadJson(const TDisplayConfig& cfg);
