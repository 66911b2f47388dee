#include "gui/QtKeys.h"

#include <QKeyEvent>

namespace olvo {

std::optional<char> TypedKey(const QKeyEvent& press) {
    switch (press.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Delete:
            return std::nullopt;
        default:
            break;
    }
    const QString text = press.text();
    if (text.isEmpty()) return std::nullopt;
    const char16_t typed = text.at(0).unicode();
    return typed < 0x80 ? static_cast<char>(typed) : '?';
}

}  // namespace olvo
