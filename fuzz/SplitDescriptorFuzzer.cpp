// The split descriptor reader on any content: a descriptor comes with the pieces, from whoever
// made them. The only failure it may report is a number that does not convert.

#include <cstdint>
#include <limits>
#include <string>

#include "FuzzCheck.h"
#include "core/engine/DateText.h"
#include "core/engine/EngineError.h"
#include "core/engine/SplitSet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace olvo;
    SplitDescriptor descriptor;
    try {
        descriptor = ReadDescriptor(AsText(data, size));
    } catch (const EngineError& error) {
        FUZZ_CHECK(std::string(error.what()) == "Invalid numeric input");
        return 0;
    }
    // The date line is one line: its end is where the reader stopped.
    FUZZ_CHECK(descriptor.dateText.find_first_of("\r\n\x1a") == std::string::npos);

    // What the split writes reads back the same. The size is written unsigned, so a size past
    // the signed 64-bit range (only a hand-made descriptor says so) would not.
    if (descriptor.fileSize <=
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        const SplitDescriptor again =
            ReadDescriptor(DescriptorHead(descriptor) + DescriptorTail(descriptor));
        FUZZ_CHECK(again.pieceCount == descriptor.pieceCount);
        FUZZ_CHECK(again.dateText == descriptor.dateText);
        FUZZ_CHECK(again.fileSize == descriptor.fileSize);
        FUZZ_CHECK(again.checksum == descriptor.checksum);
    }

    // A restore goes on to read the date line with the locale's conventions.
    for (const DateTimeConventions& conventions :
         {DateTimeConventions{},
          DateTimeConventions{DateTimeConventions::Order::DayMonthYear, '.', ':', false, "", ""}}) {
        try {
            FileTimeFromDateText(descriptor.dateText, DateTimeFormat(conventions));
        } catch (const EngineError&) {
            // "'...' is not a valid date and time": the restore reports it.
        }
    }
    return 0;
}
