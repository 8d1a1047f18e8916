#pragma once
// Everything the show draws, loaded once before the first frame, and the frame composer.
namespace app {
class GlWindow;
}

namespace content {

class DemoContent {
public:
    // Loads every resource; the window's GL context must be current on this thread.
    explicit DemoContent(app::GlWindow* window);
    virtual ~DemoContent();

    // Draws the complete frame for music time ms (milliseconds, may be negative).
    void drawFrame(int ms);

    app::GlWindow* window = nullptr;
};

}  // namespace content
