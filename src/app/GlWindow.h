#pragma once
// The one top-level window of the show with its OpenGL rendering context.
//
// The fields below are what the rest of the program reads: the drawing size (every projection
// and the letterbox viewport are set from it) and the multitexture entry point the drawing code
// calls, both in the platform::DrawingSurface the window is, and the key state the main loop reads. A GlWindow constructed but never created has
// all of them at their initial values and touches no platform service, so tests can set them.
//
// The window's services come from a platform::WindowSystem (SDL by default, a fake in tests).
// Windows virtual-key codes number the key slots; Alt+Enter arrives as command 1000.
#include <GL/gl.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/DrawingSurface.h"
#include "platform/WindowSystem.h"

namespace app {

// The window title, also its class name: 40 characters.
extern const char* const windowTitle;

// The Alt+Enter accelerator's command: toggles between full screen and a window.
constexpr int toggleFullScreenCommand = 1000;

class GlWindow : public platform::DrawingSurface {
public:
    GlWindow() = default;
    virtual ~GlWindow();
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    // Opens the window at width x height with its context and initial GL state, then switches
    // to full screen when fullScreen is set (falling back to a width x height window at the
    // top-left corner when no mode fits) or stays a window of that size when it is not. Returns
    // false, after a fatal report, when there is no window or no rendering context at all.
    // The first form uses SDL's window services; the second the ones given.
    bool create(int width, int height, bool fullScreen);
    bool create(std::unique_ptr<platform::WindowSystem> windowSystem, int width, int height, bool fullScreen);

    // Handles every waiting window event (key slots, quit flag, resize, the Alt+Enter toggle).
    // A key that goes down and up within one call reads as down until the next call.
    virtual void pumpMessages();
    // glFinish, glFlush, then shows the back buffer.
    virtual void present();
    // Releases the context and restores the user's display mode; active becomes false. The
    // window itself stays until the process ends. A second call releases nothing.
    void destroy();

    // glViewport(0, 0, width, height) and stores the size; a value <= 0 becomes 1.
    void setViewport(int width, int height);
    // Switches between full screen and a window (toggle) or re-applies the current mode. False
    // when full screen was asked for and no usable mode exists or the switch is refused.
    bool setDisplayMode(bool toggle);
    // Looks for the deepest display mode of exactly width x height (the first enumerated among
    // equals). On a find it sets the width and height fields and copies the mode into `mode`.
    // True when the chosen mode has at least 15 bits per pixel.
    bool findDisplayMode(int width, int height, platform::DisplayMode& mode);
    // Makes the rendering context current and sets the initial GL state; fatal report on failure.
    // Returns whether a context is current.
    bool createContext(int width, int height);
    // Reads GL_MAX_TEXTURE_SIZE (fatal report below 512) and looks up glActiveTextureARB.
    void loadExtensions();
    // destroy(), then the program's fatal error report; returns to the caller.
    void fatalError(const std::string& text);
    // The window procedure: what one window event does.
    void windowProc(const platform::WindowEvent& event);

    // Null until create; the services behind this window.
    platform::WindowSystem* windowSystem() const { return system_.get(); }

    int quitRequested = 0;     // 1 once the window was closed; never reset
    int keys[256] = {};        // one slot per Windows virtual-key code, 1 while held down
    int maxTextureSize = 0;    // GL_MAX_TEXTURE_SIZE
    bool active = false;       // the main loop draws only while set

    bool accelerators = false;       // the Alt+Enter table is installed
    int requestedHeight = 0;         // size asked of create
    int requestedWidth = 0;
    bool savedStyle = false;         // whether the window had a frame when created
    platform::Rect savedRect;        // screen rectangle in windowed mode, frame included
    int windowed = 1;                // 1: a window; 0: full screen

private:
    // Alt+Enter (a system key-down of Return) becomes the toggle command.
    bool translateAccelerator(const platform::WindowEvent& event, platform::WindowEvent& command) const;

    std::unique_ptr<platform::WindowSystem> system_;
    bool contextLive_ = false;  // a context of ours is current
    bool released_ = false;     // destroy() has run since create
    std::vector<int> heldKeyUps_;  // key-ups held back to the next pump
};

}  // namespace app
