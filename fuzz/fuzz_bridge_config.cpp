// The bridge's configuration file on any bytes.
#include "FuzzCheck.h"

#include "tools/bridge/BridgeConfig.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    TBridgeConfig config;
    std::string error;
    if (!parseBridgeConfig(text, "bridge.conf", std::nullopt, config, error)) {
        // A refusal names the file and a line.
        FUZZ_REQUIRE(error.rfind("bridge.conf:", 0) == 0);
        return 0;
    }
    // A file taken has lines, each with a device and displays, and somewhere to send their readings.
    FUZZ_REQUIRE(!config.lines.empty());
    FUZZ_REQUIRE(config.broker.enabled || config.modbus.enabled);
    FUZZ_REQUIRE(languagePlace(config.language) <= 3);
    for (const TBridgeLine& line : config.lines) {
        FUZZ_REQUIRE(!line.device.empty() && !line.addresses.empty() && !line.name.empty());
        for (std::uint8_t a : line.addresses)
            FUZZ_REQUIRE(a <= 31);
    }
    return 0;
}
