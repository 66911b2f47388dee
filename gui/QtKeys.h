#pragma once
// Between Qt's key presses and the character filters of the windows' handlers. A filter (a
// KeyPress handler) gets the character typed and sets it to 0 to discard the key.

#include <optional>

class QKeyEvent;

namespace olvo {

// The character press hands to a filter: its first character, '?' for one outside ASCII.
// Nothing for keys that type no character: Return, Enter, Escape, Tab and Backtab (leaving or
// confirming), Delete (deleting forwards) and keys without text such as the arrows.
std::optional<char> TypedKey(const QKeyEvent& press);

// Runs filter on the character of press and tells whether the filter discarded it, in which
// case the caller swallows the press. A key that types no character is never discarded.
template <class Filter>
bool KeyDiscarded(const QKeyEvent& press, Filter&& filter) {
    const std::optional<char> typed = TypedKey(press);
    if (!typed) return false;
    char key = *typed;
    filter(key);
    return key == 0;
}

}  // namespace olvo
