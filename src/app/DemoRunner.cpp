#include "app/DemoRunner.h"

#include <GL/gl.h>

#include "app/GlWindow.h"
#include "platform/VirtualKeys.h"

namespace app {

DemoRunner::DemoRunner(content::RenderPath path)
    : DemoRunner(platform::systemClock(), [] { return std::make_unique<music::MusicTrack>(); }, path) {}

DemoRunner::DemoRunner(platform::Clock& clock, TrackFactory makeTrack, content::RenderPath path)
    : clock_(clock), makeTrack_(std::move(makeTrack)), renderPath_(path) {}

DemoRunner::~DemoRunner() = default;

void DemoRunner::init(GlWindow* window) {
    this->window = window;
    content = std::make_unique<content::DemoContent>(window, renderPath_);
}

void DemoRunner::shutdown() { content.reset(); }

float DemoRunner::beatAt(std::int32_t ms) {
    return static_cast<float>(static_cast<long double>(ms) * 145 / 1000 / 60);
}

void DemoRunner::drawFrame(std::int32_t ms) {
    if (content) content->drawFrame(ms);
}

void DemoRunner::run() {
    using namespace platform;
    std::uint32_t startTick = clock_.ticks();
    std::unique_ptr<music::MusicTrack> track = makeTrack_();
    track->load(soundtrackPath);

    while (clock_.ticks() < startTick + pauseMs) window->pumpMessages();

    track->play();
    startTick = clock_.ticks() - leadMs;

    int* keys = window->keys;
    while (!keys[vk::Escape] && !window->quitRequested) {
        if (window->active) {
            std::int32_t ms = static_cast<std::int32_t>(clock_.ticks() - startTick);
            // Minus before plus: both in one pass cancel in the clock, and the soundtrack is
            // set twice.
            if (keys[vk::Subtract]) {
                startTick += seekStepMs;
                ms -= seekStepMs;
                keys[vk::Subtract] = 0;
                track->seek(ms);
            }
            if (keys[vk::Add]) {
                startTick -= seekStepMs;
                ms += seekStepMs;
                keys[vk::Add] = 0;
                track->seek(ms);
            }
            if (beatAt(ms) >= endBeat) break;
            // Every frame starts with depth writes on, whatever the last one left.
            glDepthMask(GL_TRUE);
            drawFrame(ms);
            window->present();
        }
        window->pumpMessages();
    }

    track->fadeOutAndStop();
    track.reset();
}

}  // namespace app
