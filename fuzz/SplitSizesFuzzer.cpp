// The split-size list conversion on any text: the list comes from the hive, which the user may
// edit. Any list of entries, each written in quotes, must read back as the same entries.

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "core/settings/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(AsText(data, size));
    const std::vector<std::string> entries = olvo::SplitSizeEntries(text);

    // Each entry takes at least one character of the text, or a comma.
    FUZZ_CHECK(entries.size() <= text.size() + 1);
    std::string quoted;
    for (const std::string& entry : entries) {
        FUZZ_CHECK(entry.find('\0') == std::string::npos);
        if (&entry != &entries.front()) quoted += ',';
        quoted += '"';
        for (const char c : entry) {
            quoted += c;
            if (c == '"') quoted += '"';
        }
        quoted += '"';
    }
    FUZZ_CHECK(olvo::SplitSizeEntries(quoted) == entries);
    return 0;
}
