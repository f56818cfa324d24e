// Reads arbitrary bytes as a settings file. Beyond the sanitizers it checks that an accepted text
// writes back to a text that reads as the same keys and values, and written again stays the same.

#include "tests/fuzz/FuzzCheck.h"
#include "settings/registry/RegistryFileFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<kestrun::RegistryTree> tree = kestrun::ParseRegistryText(text);
    if (!tree)
        return 0;
    const std::string written = kestrun::RegistryText(*tree);
    const std::optional<kestrun::RegistryTree> again = kestrun::ParseRegistryText(written);
    CHECK(again && *again == *tree);
    CHECK(kestrun::RegistryText(*again) == written);
    return 0;
}
