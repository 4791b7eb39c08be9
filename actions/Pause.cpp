#include "actions/Pause.h"

#include <algorithm>
#include <csignal>

#include "platform/Platform.h"

namespace rw {

namespace {
std::function<void()> gServe;
// Set from a signal handler too: a lock-free flag is safe there.
volatile std::sig_atomic_t gStopRequested = 0;
}  // namespace

void SetPauseService(std::function<void()> serve) { gServe = std::move(serve); }

void RequestStop() { gStopRequested = 1; }
bool StopRequested() { return gStopRequested != 0; }
void ClearStopRequest() { gStopRequested = 0; }

bool Pause(std::uint32_t ms, const std::function<bool()>& keepWaiting) {
    const Platform& sys = Sys();
    std::uint32_t left = ms;
    do {
        const std::uint32_t slice = std::min(left, kPauseSliceMs);
        sys.clock.Sleep(slice);
        left -= slice;
        if (gServe) gServe();
        if (StopRequested() || (keepWaiting && !keepWaiting())) return false;
    } while (left > 0);
    return true;
}

}  // namespace rw
