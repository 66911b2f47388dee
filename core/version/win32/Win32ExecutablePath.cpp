#include "platform/ProgramLocation.h"
#include "core/version/ExecutablePath.h"

namespace olvo {

// The file the running image was loaded from, as the loader names it.
std::string OwnExecutablePath() {
    return RunningExecutablePath();
}

}  // namespace olvo
