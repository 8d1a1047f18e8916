#include "platform/Clock.h"

#include <SDL.h>

namespace platform {

namespace {
class SdlClock : public Clock {
public:
    std::uint32_t ticks() override { return SDL_GetTicks(); }
    void sleep(std::uint32_t ms) override { SDL_Delay(ms); }
};
}  // namespace

Clock& systemClock() {
    static SdlClock clock;
    return clock;
}

}  // namespace platform
