#pragma once
#include <cstdint>

#include "base/Language.h"

// The fixed captions of the main window's four summary panels, by language
// in UTF-8.
// The texts that depend on the configuration are in PanelTexts.h.
struct MainPanelCaptions {
    const char* serialGroup;   // GroupBox1
    const char* port;          // Label1
    const char* baud;          // Label2
    const char* parity;        // Label3
    const char* stopBits;      // Label4
    const char* dataBits;      // Label5
    const char* address;       // Label13
    const char* digits;        // Label14
    const char* analogGroup;   // GroupBox2
    const char* relay1Group;   // GroupBox4
    const char* relay2Group;   // GroupBox5
    const char* threshold;     // Label16, Label18
};

const MainPanelCaptions& mainPanelCaptions(TLanguage language);
