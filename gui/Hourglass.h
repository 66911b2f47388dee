#pragma once
// The hourglass as the application's cursor while the program is busy, taken back on every path
// out of a scope.

#include "gui/NonCopyable.h"

namespace olvo {

class Hourglass : NonCopyable {
  public:
    // How the hourglass goes at the end.
    enum class Ending {
        // The cursor before it comes back: hourglasses nest, each taking back its own.
        PreviousCursor,
        // The application's cursor is a single setting, not a stack: the hourglass replaces
        // whatever cursor the application had set, and at the end the default cursor (no cursor
        // of the application's own) is left, however many were set meanwhile. Two of them and
        // the end of one leave the default, as the update check and its menu command expect.
        DefaultCursor,
    };

    explicit Hourglass(Ending ending);
    ~Hourglass() { Restore(); }

    // Ends the hourglass before the end of the scope; a second call does nothing.
    void Restore();

  private:
    Ending m_ending;
    bool m_active = true;
};

}  // namespace olvo
