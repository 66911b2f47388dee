// The multiply-add of regions through gf-complete, whose default 16-bit field is ours (0x1100B)
// and whose region code uses the processor's vector instructions.

// The library's header declares its functions for C only.
extern "C" {
#include <gf_complete.h>
}

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "core/recovery/Gf16.h"

namespace olvo {
namespace {

struct Field {
    gf_t gf{};
    Field() {
        if (!gf_init_easy(&gf, 16)) throw std::runtime_error("gf-complete: no 16-bit field");
    }
};

gf_t& TheField() {
    static Field field;
    return field.gf;
}

}  // namespace

void GfMultiplyAdd(const void* src, void* dst, GfWord factor, std::size_t bytes) {
    gf_t& gf = TheField();
    auto* in = const_cast<char*>(static_cast<const char*>(src));
    auto* out = static_cast<char*>(dst);
    constexpr std::size_t kStep = std::size_t{1} << 30;
    for (std::size_t done = 0; done < bytes; done += kStep) {
        const int part = static_cast<int>(std::min(kStep, bytes - done));
        gf.multiply_region.w32(&gf, in + done, out + done, factor, part, 1);
    }
}

}  // namespace olvo
