// The configuration file loader on files of any length and content.
#include "FuzzCheck.h"

#include "config/ConfigFile.h"
#include "config/RecordCodec.h"

#include <cstring>

namespace {

// Offsets of the record that carry no field.
bool isPad(std::size_t offset)
{
    return (offset >= 9 && offset < 16) || (offset >= 52 && offset < 56) || offset == 67 || offset == 79;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzzsupport::TScratchFile file("record");
    file.write(data, size);

    TDisplayConfig cfg;
    resetToDefaults(cfg);
    cfg.TestValue = 7.5;
    cfg.DisplayParams.ParamBaud = 3;
    const TDisplayConfig before = cfg;
    const FileResult r = loadConfigFile(file.path(), cfg);
    for (TLanguage language : kLanguages)
        FUZZ_REQUIRE(!describeFileError(file.path(), r, language).empty());
    if (size < RecordSize) {
        // A short file is refused and changes nothing.
        FUZZ_REQUIRE(!r.ok && r.failedStep == TFileStep::Short);
        FUZZ_REQUIRE(encodeRecord(cfg) == encodeRecord(before));
        return 0;
    }
    FUZZ_REQUIRE(r.ok);
    // Every field byte comes from the file's first 88 bytes, bit for bit.
    const TRecord again = encodeRecord(cfg);
    for (std::size_t i = 0; i < RecordSize; ++i)
        FUZZ_REQUIRE(isPad(i) || again[i] == data[i]);
    // What is not in the record keeps its value.
    FUZZ_REQUIRE(cfg.TestValue == before.TestValue
                 && std::memcmp(&cfg.DisplayParams, &before.DisplayParams, sizeof cfg.DisplayParams) == 0);
    return 0;
}
