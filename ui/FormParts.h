#pragma once
// What the program's windows share in their make-up: the names of their controls, their font
// and fixed frame, hand cursors on what can be clicked, display-only fields, links, centring,
// and the setting and reading of a path field.

#include <QString>
#include <string>

class QDialog;
class QLabel;
class QLineEdit;
class QWidget;

namespace olvo {

// Gives widget the name it has in the window's layout (tests and screenshots find it by that
// name) and returns it.
template <class Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Tahoma 8 where the system has it; otherwise the desktop's font stays.
void UseFormFont(QWidget* window);

// A dialog of a fixed client size whose title bar holds only a close button, in the form font.
void SetUpFixedDialog(QDialog* dialog, int width, int height);

// Every push button below root presses itself on Enter while it has the focus (auto-default);
// every push button and check box below root shows the hand cursor.
void SetUpClickables(QWidget* root);

// A field only the program fills: read-only, greyed like the window's face.
void MakeDisplayOnly(QLineEdit* field);

// A label that reads as a link: underlined, blue, with the hand cursor.
void StyleAsLink(QLabel* label);

// Moves window so that its client area stands in the middle of the primary screen's available
// area. Without a screen it stays where it is.
void CentreOnScreen(QWidget* window);

// Sets the path shown in edit. A value the field already holds is not set again: setting it
// would run the field's change handler, and Qt's setter does not hold back on its own.
void SetText(QLineEdit* edit, const std::string& path);
// The path shown in edit.
std::string Text(const QLineEdit* edit);

}  // namespace olvo
