#pragma once
// A tick counter the test moves by hand; counts its reads and records its sleeps.
#include <cstdint>
#include <vector>

#include "platform/Clock.h"

namespace testsupport {

class FakeClock : public platform::Clock {
public:
    std::uint32_t ticks() override {
        ++reads;
        return now;
    }
    void sleep(std::uint32_t ms) override {
        sleeps.push_back(ms);
        now += ms;
    }

    std::uint32_t now = 0;
    int reads = 0;
    std::vector<std::uint32_t> sleeps;
};

}  // namespace testsupport
