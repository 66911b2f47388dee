// Where gf-complete is not at hand (the Windows build), regions are multiplied from the tables.

#include "core/recovery/Gf16.h"

namespace olvo {

void GfMultiplyAdd(const void* src, void* dst, GfWord factor, std::size_t bytes) {
    GfMultiplyAddPortable(src, dst, factor, bytes);
}

}  // namespace olvo
