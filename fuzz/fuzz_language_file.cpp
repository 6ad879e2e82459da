// The language settings file "Conf.dad" with any content.
#include "FuzzCheck.h"

#include "config/ConfigFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzzsupport::TScratchFile file("language");
    file.write(data, size);
    const std::uint8_t language = readLanguageFile(file.path());
    // The first byte when it names a language, otherwise Catalan.
    FUZZ_REQUIRE(language == (size >= 1 && data[0] <= 3 ? data[0] : 0));
    return 0;
}
