// Long waits of the program: an item's delay before its macro, a macro's
// {DELAY=}. Everything runs on one thread, so while such a wait lasts the
// program answers nothing else; it waits in short slices instead, lets the
// host serve its own events between them (a signal, the session's end, a
// click on the icon), and ends early when the window it waits for is no
// longer fit or when someone asked the program to stop.
#pragma once

#include <cstdint>
#include <functional>

namespace rw {

// The longest slice: a stop is noticed within this time.
constexpr std::uint32_t kPauseSliceMs = 100;

// What the host serves between slices; none by default. Whatever it runs
// must not start another examination or macro: it may only ask for a stop
// (RequestStop) and leave the rest for afterwards.
void SetPauseService(std::function<void()> serve);

// Asks the wait and the macro under way to end at their next slice or step.
void RequestStop();
bool StopRequested();
// Once the examination that was asked to stop has ended.
void ClearStopRequest();

// Waits ms milliseconds on the platform's clock. A wait of up to one slice
// is one sleep; a longer one sleeps slice by slice. After each sleep the
// host serves its events and keepWaiting is asked. True when the whole time
// passed with keepWaiting true and no stop asked for; false when it ended
// early.
bool Pause(std::uint32_t ms, const std::function<bool()>& keepWaiting);

}  // namespace rw
