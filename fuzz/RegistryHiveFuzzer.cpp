// The registry hive reader on any text: the hive file is the user's to edit, and other programs
// may write it. A text that reads as a tree must be written back as a text that reads as the same
// tree, and the settings must load from it (or fail with a settings error) and save into it.

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "core/settings/SettingsStore.h"
#include "platform/RegistryHive.h"
#include "tests/support/MemoryRegistry.h"

namespace {

void CheckRoundTrip(const olvo::Hive& hive) {
    const std::string text = olvo::WriteHive(hive);
    const auto again = olvo::ParseHive(text);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == hive);
    FUZZ_CHECK(olvo::WriteHive(*again) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace olvo;
    const auto hive = ParseHive(AsText(data, size));
    if (!hive) return 0;
    CheckRoundTrip(*hive);

    MemoryRegistry registry;
    registry.Contents() = *hive;
    Settings settings;
    std::vector<std::string> splitSizes;
    Settings values;
    try {
        LoadStartupSettings(registry, settings, splitSizes);
    } catch (const SettingsError&) {
    }
    try {
        LoadConfigValues(registry, values);
    } catch (const SettingsError&) {
    }
    try {
        SaveConfigValues(registry, values);
    } catch (const SettingsError&) {
    }
    FUZZ_CHECK(!registry.InSession());
    CheckRoundTrip(registry.Contents());
    return 0;
}
