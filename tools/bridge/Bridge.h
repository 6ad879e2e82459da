#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/bridge/BridgeConfig.h"
#include "tools/bridge/LineReader.h"

class TModbusServer;
class TMqttClient;

// The bridge: the displays of every line read in turn, their readings
// published on MQTT (retained) and served on Modbus TCP, and configuration
// requests over MQTT answered through the same lines.
class TBridge {
public:
    // `log` gets one line per event worth a journal entry.
    TBridge(const TBridgeConfig& config, std::function<void(const std::string&)> log);
    ~TBridge();
    TBridge(const TBridge&) = delete;
    TBridge& operator=(const TBridge&) = delete;

    // Starts the broker connection, the Modbus server and the lines; false with why.
    bool start(std::string& error);
    // Says "offline" and lets go of everything.
    void stop();

private:
    struct TDisplay {
        std::size_t line = 0;
        std::uint8_t address = 0;
        TDisplayStatus status = TDisplayStatus::Unknown;
        std::string since; // when the status began
        std::string why;
        int missed = 0;
    };

    std::string topic(std::size_t line, std::uint8_t address, const std::string& leaf) const;
    void onReading(std::size_t line, const TLineReading& r);
    void onConnected();
    void onMessage(const std::string& topic, const std::string& payload);
    void publishRetained(const std::string& topic, const std::string& payload);
    void publishStatus(const TDisplay& d);
    void publishDiscovery();
    void readConfig(std::size_t line, std::uint8_t address, std::function<void(const TDisplayConfig*, const std::string&)> done);
    void getConfig(std::size_t line, std::uint8_t address);
    void setConfig(std::size_t line, std::uint8_t address, const std::string& payload);
    void result(std::size_t line, std::uint8_t address, const std::string& request, const std::string& error,
                const std::string& config = {});

    const TBridgeConfig config_;
    std::function<void(const std::string&)> log_;
    std::vector<std::unique_ptr<TLineReader>> readers_;
    std::map<std::pair<std::size_t, std::uint8_t>, TDisplay> displays_;
    std::map<std::string, std::string> retained_; // what the broker should hold, for a reconnection
    std::unique_ptr<TMqttClient> mqtt_;
    std::unique_ptr<TModbusServer> modbus_;
};

// UTC with milliseconds, "2026-12-08T06:40:00.123Z".
std::string utcTime();
