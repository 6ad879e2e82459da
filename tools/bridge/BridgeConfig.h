#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Language.h"
#include "config/DisplayConfig.h"

// dadiz-bridge's configuration: one INI file with an optional [Bridge]
// section (the bridge itself), a [Broker] section (MQTT), an optional [Modbus]
// section and one [Line NAME] section per serial line. Every key is known;
// anything else is refused with the file, line and key.

inline constexpr const char* kDefaultBridgeConfig = "/etc/dadiz/bridge.conf";

struct TBrokerSettings {
    bool enabled = false; // a [Broker] section is present
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string clientId = "dadiz-bridge";
    std::string user;
    std::string passwordFile;
    std::string caFile;   // TLS when given
    std::string certFile; // client certificate, with keyFile
    std::string keyFile;
    std::string prefix = "dadiz";
    int keepAliveS = 30;
    bool allowWrites = false;
    bool discovery = false;
    std::string discoveryPrefix = "homeassistant";
};

struct TModbusSettings {
    bool enabled = false; // a [Modbus] section is present
    std::string listen = "127.0.0.1";
    int port = 502;
};

struct TBridgeLine {
    std::string name; // NAME of [Line NAME]: the line's level in the topics
    std::string device;
    // BaudIndex, ParityIndex, DataBitsIndex, StopBitsIndex and DigitsIndex of the line's displays.
    TDisplayConfig settings;
    std::vector<std::uint8_t> addresses;
    int periodMs = 1000;
    int timeoutMs = 1000;
    int sectionLine = 0; // where [Line NAME] is in the file
};

struct TBridgeConfig {
    TLanguage language = TLanguage::English; // of every text a person reads
    TBrokerSettings broker;
    TModbusSettings modbus;
    std::vector<TBridgeLine> lines;
};

// `text` as the file `path` holds it. The language is `language` when given
// (the command line's), else the one Language= of [Bridge] names, else
// English; what is wrong with the file is said in it. False with
// "PATH:LINE: KEY: why" (or "PATH:LINE: why" for what is no key) in error.
bool parseBridgeConfig(const std::string& text, const std::string& path, std::optional<TLanguage> language,
                       TBridgeConfig& config, std::string& error);

// Reads the file (a regular file, at most 1 MiB) and parses it; a file that
// cannot be read is said in `language`, else in English.
bool readBridgeConfig(const std::string& path, std::optional<TLanguage> language, TBridgeConfig& config, std::string& error);
