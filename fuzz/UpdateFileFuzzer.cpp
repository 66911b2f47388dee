// The update information file's reading on any bytes: the file comes over plain http, so anyone
// on the way can change it. Our section must read without raising, every value within the
// limits the profile rules promise, and the link built from it is opened only when it is a web
// address.

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "core/version/ProfileText.h"
#include "core/version/UpdateCheck.h"
#include "platform/Text.h"

namespace {

void CheckValue(const std::string& value) {
    FUZZ_CHECK(value.size() <= olvo::kProfileValueLimit);
    FUZZ_CHECK(value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace olvo;
    const std::string_view text = AsText(data, size);

    // Our executables' sections, as the seeds name them.
    for (const std::string_view section : {"olvo", "olvo-cli"}) {
        const UpdateInfo info = ReadUpdateInfo(text, section);
        CheckValue(info.displayText);
        CheckValue(info.version);
        CheckValue(info.location);
        CheckValue(info.fileName);
        const std::string link = info.location + info.fileName;
        if (IsOpenableLink(link)) {
            FUZZ_CHECK(StartsWithNoCase(link, "http://") || StartsWithNoCase(link, "https://"));
            for (const char c : link) FUZZ_CHECK(static_cast<unsigned char>(c) >= 32 && c != 127);
        }
    }

    // The number reading on the whole text, against the standard library for plain decimals.
    const auto number = ParseProfileInteger(text);
    if (number) FUZZ_CHECK(ParseProfileInteger(std::to_string(*number)) == number);
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '+' || negative)) digits.remove_prefix(1);
    if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos) {
        std::uint64_t magnitude = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
        const bool fits = end == digits.data() + digits.size() && error == std::errc() &&
                          magnitude <= (negative ? 0x80000000u : 0x7FFFFFFFu);
        if (fits) {
            const auto expected = static_cast<std::int64_t>(magnitude) * (negative ? -1 : 1);
            FUZZ_CHECK(number && *number == expected);
        } else {
            FUZZ_CHECK(!number);
        }
    }
    return 0;
}
