#pragma once
// The demo runner: loads the content, then plays the show in its music-timed main loop.
//
// The loop's clock is a millisecond count from the tick counter, started 400 ms ahead of the
// moment the soundtrack is told to play and moved by the seek keys (keypad minus and plus,
// 5,333 ms, clock and soundtrack together). The soundtrack's position is never read back.
// The show ends at beat 608 (ms 251,587 and later), on Escape, or when the window is closed.
#include <cstdint>
#include <functional>
#include <memory>

#include "content/DemoContent.h"
#include "music/MusicTrack.h"
#include "platform/Clock.h"

namespace app {

class GlWindow;

class DemoRunner {
public:
    using TrackFactory = std::function<std::unique_ptr<music::MusicTrack>()>;

    static constexpr const char* soundtrackPath = "data\\Vorthalimex.mp3";
    static constexpr std::int32_t seekStepMs = 5333;
    static constexpr std::int32_t leadMs = 400;       // the clock's lead over the soundtrack start
    static constexpr std::uint32_t pauseMs = 1000;    // messages pumped before the music starts
    static constexpr float endBeat = 608.0f;

    // The real tick counter and soundtrack; the other form takes both (tests pass fakes). The
    // content draws on `path` (content/RenderPath.h).
    explicit DemoRunner(content::RenderPath path = content::RenderPath::Faithful);
    DemoRunner(platform::Clock& clock, TrackFactory makeTrack,
               content::RenderPath path = content::RenderPath::Faithful);
    virtual ~DemoRunner();
    DemoRunner(const DemoRunner&) = delete;
    DemoRunner& operator=(const DemoRunner&) = delete;

    // Stores the window and loads every resource of the show (its GL context must be current),
    // for drawing on the runner's render path.
    void init(GlWindow* window);
    // Plays the show; returns when it has ended and the soundtrack has faded out and stopped.
    void run();
    // Destroys the content.
    void shutdown();

    // Beats at music time ms: ms * 145 / 1000 / 60 in extended precision, rounded to float.
    static float beatAt(std::int32_t ms);

    std::unique_ptr<content::DemoContent> content;
    GlWindow* window = nullptr;

protected:
    // Draws the complete frame for ms (the content's frame composer).
    virtual void drawFrame(std::int32_t ms);

private:
    platform::Clock& clock_;
    TrackFactory makeTrack_;
    content::RenderPath renderPath_;
};

}  // namespace app
