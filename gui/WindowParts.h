#pragma once
// What the program's windows share in their make-up: the names of their controls, their font
// and fixed frame, hand cursors on what can be clicked, display-only fields, links, centring,
// and the setting and reading of a path field.

#include <QMargins>
#include <QSize>
#include <QString>
#include <string>

class QBoxLayout;
class QDialog;
class QFrame;
class QIcon;
class QGridLayout;
class QLabel;
class QLayout;
class QLayoutItem;
class QLineEdit;
class QVBoxLayout;
class QWidget;

namespace olvo {

// Gives widget the name it has in the window's layout (tests and screenshots find it by that
// name) and returns it.
template <class Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Tahoma 8 where the system has it; otherwise the desktop's font stays. An application font
// larger than the desktop's own (a style sheet, a font the user asked for) keeps its size.
void UseWindowFont(QWidget* window);

// The program's icon, for every window: the desktop's icon theme's "olvo" where installed, else
// the picture built into the program.
QIcon ProgramIcon();

// A dialog whose title bar holds only a close button, named name (in the window's layout) with the
// caption title, in the window font, with the program's icon. Returns its layout, a column with
// the given margins and spacing between its items. Its size is its layout's: the design size
// with the default font, larger where a larger font needs it; the user cannot resize it.
QVBoxLayout* SetUpFixedDialog(QDialog* dialog, const char* name, const char* title,
                              QMargins margins, int spacing);

// Layouts that keep a window's design. Each control has a design size, the one it has with the
// default font; in a layout it keeps that size unless its text (or picture) needs more in the
// font it is shown in, and then it grows, and the window with it. A wide control also takes what
// room its row has left over (grow Horizontal), a tall one the room of its row (Vertical); the
// others stand at the left of their place, centred in its height. The needs are asked afresh
// whenever the layout is, so a label whose text changes grows with it. Nothing grows beyond the
// control's own maximum size.
QLayoutItem* DesignItem(QWidget* widget, QSize design, Qt::Orientations grow = {});
void AddDesign(QBoxLayout* layout, QWidget* widget, QSize design, Qt::Orientations grow = {});
void AddDesign(QGridLayout* layout, QWidget* widget, QSize design, int row, int column,
               int rowSpan = 1, int columnSpan = 1, Qt::Orientations grow = {});
// The room a control needs for its text or picture in its own font, beyond which it is clipped;
// zero in a direction where it needs nothing in particular.
QSize TextNeed(const QWidget* widget, QSize design);
// A layout's contents margins for a box whose frame (a group box's title, say) takes room of its
// own: what is left of the design offsets once that frame's contents margins are taken off,
// at least minimum.
void SetInnerMargins(QLayout* layout, QWidget* box, int left, int top, int right, int bottom,
                     int minimum = 2);
// The grid of a group box: the design offsets of its contents as inner margins (SetInnerMargins),
// no spacing of its own (the gaps are columns and rows of their own), and the room left over to
// stretchColumn.
QGridLayout* GroupGrid(QWidget* box, int left, int top, int right, int bottom, int stretchColumn);
// A horizontal sunken line, as a window draws between its parts.
QFrame* EtchedLine(QWidget* parent);

// Every push button below root presses itself on Enter while it has the focus (auto-default);
// every push button and check box below root shows the hand cursor.
void SetUpClickables(QWidget* root);

// A field only the program fills: read-only, greyed like the window's face.
void MakeDisplayOnly(QLineEdit* field);

// A label that reads as a link: underlined, in the palette's link colour, with the hand cursor.
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
