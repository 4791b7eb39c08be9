// Time. Every wait of the logic goes through here, so tests run on a
// virtual clock. A backend never blocks longer than it is asked to.
#pragma once

#include <cstdint>

namespace rw {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t GetTickCount() = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
    // 1 ms timer resolution while a macro plays.
    virtual void TimeBeginPeriod(std::uint32_t ms) = 0;
    virtual void TimeEndPeriod(std::uint32_t ms) = 0;
};

}  // namespace rw
