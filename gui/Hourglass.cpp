#include "gui/Hourglass.h"

#include <QApplication>

namespace olvo {

Hourglass::Hourglass(Ending ending) : m_ending(ending) {
    if (m_ending == Ending::DefaultCursor && QApplication::overrideCursor())
        QApplication::changeOverrideCursor(Qt::WaitCursor);
    else
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void Hourglass::Restore() {
    if (!m_active) return;
    m_active = false;
    if (m_ending == Ending::PreviousCursor) {
        QApplication::restoreOverrideCursor();
        return;
    }
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

}  // namespace olvo
