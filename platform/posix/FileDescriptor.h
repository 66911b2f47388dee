#pragma once

#include <unistd.h>

#include "platform/OwnedHandle.h"

namespace olvo {

// A file descriptor, closed when it goes; -1 holds none.
using FileDescriptor = OwnedHandle<int, -1, ::close>;

}  // namespace olvo
