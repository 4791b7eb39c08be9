// What the accessibility bus tells about top-level windows, read from its
// signals, and the book of the windows learnt from them: which exist,
// which is in front, which control of each program has the focus.
//
// The events (registered with the accessibility registry and matched on
// the bus by AccessibleWindows):
//   window:activate / window:deactivate, object:state-changed:active
//       a frame came to the front / left it (toolkits send both kinds;
//       either counts, twice is harmless). The state also marks the active
//       item of a table or list: it counts for a frame already known, and
//       for another object only once its owner has found it a top-level
//       one.
//   window:create               a frame appeared (only once its program
//                               listens: a program's first window often
//                               comes before that, and is learnt when it
//                               is activated)
//   window:destroy, window:close  a frame went (GTK also sends destroy
//                               when a window is merely hidden)
//   object:state-changed:focused  a control got or lost the focus
//   the registry's children-changed on its root   a program registered
//                               (add) or left (remove)
//   NameOwnerChanged of the bus  a program's connection ended: all its
//                               frames are gone
// A frame is named by its program's unique bus name and its object path;
// unique names are never given again on a bus, so a frame of a program
// that ended can never be confused with a new one.
#pragma once

#include <dbus/dbus.h>

#include "FrameBook.h"

namespace rw::atspi {

// The event a message stands for; Type::None for anything else (method
// replies, signals of other kinds, malformed ones). Never trusts the
// message: names and paths that are not valid D-Bus names give None.
AccEvent ParseEvent(DBusMessage* m);

}  // namespace rw::atspi
