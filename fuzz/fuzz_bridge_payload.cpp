// The bridge's configuration payloads (MQTT .../config/set) on any bytes.
#include "FuzzCheck.h"

#include "config/DisplayConfig.h"
#include "protocol/Requests.h"
#include "tools/bridge/ConfigPayload.h"

#include <string>
#include <string_view>

namespace {

TDisplayConfig held()
{
    TDisplayConfig cfg;
    resetToDefaults(cfg);
    cfg.Address = 5;
    cfg.DecimalPoint = 1;
    return cfg;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view payload(reinterpret_cast<const char*>(data), size);
    const TDisplayConfig before = held();
    TDisplayConfig cfg = before;
    std::string error;
    // The language rides on the last byte: every language refuses the same payloads.
    const TLanguage language = size ? kLanguages[data[size - 1] % 4] : TLanguage::English;
    const bool taken = applyConfigPayload(payload, language, cfg, error);
    TDisplayConfig english = before;
    std::string englishError;
    FUZZ_REQUIRE(applyConfigPayload(payload, TLanguage::English, english, englishError) == taken);
    if (!taken) {
        // A refusal says why and changes nothing.
        FUZZ_REQUIRE(!error.empty());
        FUZZ_REQUIRE(buildConfigRequest(cfg) == buildConfigRequest(before));
        return 0;
    }
    // What is taken can go out, leaves the line, the address and the digits
    // alone, and comes back whole through the payload the bridge publishes.
    FUZZ_REQUIRE(checkConfigRequest(cfg).fault == TFrameFault::None);
    FUZZ_REQUIRE(cfg.Address == before.Address && cfg.DigitsIndex == before.DigitsIndex
                 && cfg.BaudIndex == before.BaudIndex && cfg.ParityIndex == before.ParityIndex);
    const std::string published = configPayloadJson(cfg);
    TDisplayConfig again = before;
    FUZZ_REQUIRE(applyConfigPayload(published, language, again, error));
    FUZZ_REQUIRE(buildConfigRequest(again) == buildConfigRequest(cfg));
    return 0;
}
