#include "backends/wayland/ToplevelBook.h"

namespace rw::wl {

namespace {

// A new program registers its accessible a moment after its window
// appears: the first lookup of a young window waits this long for it.
constexpr std::uint32_t kYoungMs = 1500;
constexpr std::uint32_t kFrameWaitMs = 400;
constexpr std::uint32_t kFrameRetryMs = 40;
constexpr std::uint32_t kLookAgainMs = 2000;

}  // namespace

void LookUpFrame(BookEntry& t, const std::function<bool()>& look) {
    if (t.frameFound && t.frameTitle == t.title) return;
    // Frames are found by their title: without one there is nothing to
    // look for yet.
    if (t.title.empty()) return;
    if (t.frameTitle != t.title) {
        t.frameFound = false;
        t.frameWaited = false;
    }
    t.frameTitle = t.title;
    // Only a young window is waited for, and only once: an older one
    // without a frame most likely has none (a program without
    // accessibility), and is looked up again only now and then.
    const std::uint32_t start = posix::MonotonicMs();
    const bool wait = !t.frameWaited && start - t.bornMs < kYoungMs;
    if (t.frameWaited && !wait && start - t.lookedUpMs < kLookAgainMs) return;
    t.frameWaited = true;
    t.lookedUpMs = start;
    for (;;) {
        if (look()) return;
        if (!wait || posix::MonotonicMs() - start >= kFrameWaitMs) return;
        posix::SleepMs(kFrameRetryMs);
    }
}

}  // namespace rw::wl
