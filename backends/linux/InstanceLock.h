// One Replywick per user and display.
#pragma once

namespace rw::lnx {

// Takes the per-user, per-display lock and holds it for the life of the
// process; false when another instance holds it. Without a place for a lock
// the program runs rather than never starts.
bool TakeInstanceLock(const char* display);

// Whether another process holds that lock now (looked at, not taken).
bool InstanceRunning(const char* display);

}  // namespace rw::lnx
