#pragma once
#include <cstdint>
#include <string>

#include "base/Language.h"

struct TExchangeReport;

// The window's words for how an exchange ended, UTF-8.

// What was asked, by request kind (1 calibration data, 2 configuration read,
// 3 display reading, 4 configuration sent).
std::string requestKindText(std::uint8_t kind, TLanguage language);

// "Reading: no reply from display 07 on COM1 (/dev/ttyUSB0) after 1.0 s",
// "... reply from another address (05) ...", "... unexpected reply ...";
// empty for a reply that answers, an abandoned exchange or a failed open.
// Without the device, the port is named alone, for a narrow place.
std::string exchangeNotice(const TExchangeReport& report, TLanguage language, bool withDevice = true);

// "3 readings missed".
std::string missedReadingsText(int count, TLanguage language);

// "late reply (1.1 s)": a reply that came after its time-out, `ms` after its request.
std::string lateReplyText(int ms, TLanguage language);

// The line-lost message: the device went away while the port was open.
std::string deviceDisconnectedText(TLanguage language);

enum class TTrafficNote : std::uint8_t;
// The outcome column of the traffic monitor; empty for a request.
std::string trafficNoteText(TTrafficNote note, bool sent, TLanguage language);
