// Shared helpers of the Qt settings windows: sizes in twips or 96-dpi pixels
// turned into the screen's pixels, text between the core (UTF-8 std::string)
// and Qt, and the windows' artwork.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRect>

#include "ui/Layouts.h"
#include <QString>
#include <QWidget>

#include <string>

namespace rw::qtui {

// Twips (1/1440 inch) to pixels of this screen.
int TwipsX(int twips);
int TwipsY(int twips);
QRect TwipsRect(int left, int top, int width, int height);
QRect TwipsRect(const layout::Box& b);
// Pixels as laid out at 96 dots per inch to pixels of this screen.
int Px96(int px);
QRect Px96Rect(int left, int top, int width, int height);
QRect Px96Rect(const layout::Box& b);

inline QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string S(const QString& s) { return s.toStdString(); }

// With RW_X11_TRACE set, writes where each named control of a shown window
// is on the screen ("x11: control WINDOW NAME X Y W H"), and the rows of its
// short lists ("x11: row WINDOW LIST INDEX X Y W H 'TEXT'"), so that
// end-to-end tests can aim real pointer input at them; also the pointer
// ("x11: pointer WINDOW wait|normal") and every label, frame or button
// whose text does not fit it ("x11: cut WINDOW 'TEXT' NEED HAVE").
void TraceControls(QWidget* window);

// The wait pointer for the whole program, on or off. One state for all
// windows: the list sets it for an edit, and the editor's loading takes it
// back.
void SetWaitPointer(bool wait);

// Fixed-size dialog: a title and a close box, no minimise or maximise, and
// a size the window manager is told it cannot change.
void MakeFixedDialog(QWidget* window, QSize size);

// The font the windows' layouts are made for: an 8-point dialog font, 11
// pixels at 96 dpi. Qt's default is wider, and labels would be cut.
void UseDialogFont(QWidget* window);

// An icon button's image, with its greyed face for the disabled state.
QIcon ButtonIcon(const char* name);
QPixmap Art(const char* name);

}  // namespace rw::qtui
