#include "core/version/ExecutablePath.h"

namespace olvo {

std::string OwnExecutablePath() {
    return "/proc/self/exe";
}

}  // namespace olvo
