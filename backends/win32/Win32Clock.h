// The Clock role on Win32: the system's tick count, Sleep, and the
// multimedia timer's resolution.
#pragma once

#include "platform/Clock.h"

namespace rw::win32 {

class Win32Clock final : public Clock {
public:
    std::uint32_t GetTickCount() override;
    void Sleep(std::uint32_t ms) override;
    void TimeBeginPeriod(std::uint32_t ms) override;
    void TimeEndPeriod(std::uint32_t ms) override;
};

}  // namespace rw::win32
