#pragma once
// The millisecond tick counter and sleep. systemClock() is the real one; tests pass a fake.
#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, monotonic, 32-bit (wraps after about 49.7 days).
    virtual std::uint32_t ticks() = 0;
    // Gives up the processor for at least ms milliseconds.
    virtual void sleep(std::uint32_t ms) = 0;
};

Clock& systemClock();

}  // namespace platform
