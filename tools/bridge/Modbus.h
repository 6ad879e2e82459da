#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/UniqueFd.h"
#include "tools/bridge/BridgeConfig.h"

// One display as a Modbus unit (unit id = its address), read-only.
// Input registers, counted from 0:
//   0-1  the value as a 32-bit float, high word first (NaN without a current value)
//   2-3  the value as a 32-bit integer, scaled by its decimals, high word first
//        (-2147483648 without a current value)
//   4    the decimals of that integer
//   5    the status: 0 ok, 1 no reply, 2 other address, 3 unexpected reply, 4 line lost, 5 not read yet
//   6    readings missed so far (up to 65535)
// Discrete inputs: 0 relay 1, 1 relay 2, 2 the value and relays are current (status ok).
struct TModbusUnit {
    std::array<std::uint16_t, 7> registers{};
    std::array<std::uint8_t, 3> inputs{};
};
inline constexpr int kModbusMaxClients = 16;

// The Modbus TCP server of the bridge, on a thread of its own so that no
// client can hold up the reading of the displays.
class TModbusServer {
public:
    // Its errors are said in `language`.
    TModbusServer(const TModbusSettings& settings, const std::vector<std::uint8_t>& units, TLanguage language);
    ~TModbusServer();
    TModbusServer(const TModbusServer&) = delete;
    TModbusServer& operator=(const TModbusServer&) = delete;

    // Listens and starts serving; false with why.
    bool start(std::string& error);
    void update(std::uint8_t unit, const TModbusUnit& data);
    void stop();

private:
    void serve();

    const TModbusSettings settings_;
    const TLanguage language_;
    std::mutex mutex_;
    std::map<std::uint8_t, TModbusUnit> units_;
    UniqueFd listen_;
    UniqueFd wake_; // an eventfd that ends serve()
    std::thread thread_;
};

// A unit's registers from a reading: `value` the display's text as a number
// ("-12.50"), or none; relays as read, or none.
TModbusUnit modbusUnit(int status, const std::string* number, const std::array<bool, 2>* relays, int missed);
