#pragma once
// The window services the show needs from the operating system, behind one small interface:
// a top-most undecorated window with an OpenGL context, display modes, window events with keys
// numbered by Windows virtual-key codes, the pointer, buffer swap and GL entry points.
// createSdlWindowSystem() gives the real one; tests drive a fake.
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct DisplayMode {
    int width = 0;
    int height = 0;
    unsigned bitsPerPixel = 0;
    int refreshRate = 0;  // Hz, 0 when unknown
    int index = -1;       // position in the enumeration (the platform finds the mode by it)
};

struct WindowEvent {
    enum Type {
        None,
        Close,       // the user asked to close the window
        Size,        // the drawing area changed to width x height
        KeyDown,     // key with virtual-key code `key` went down (or auto-repeats)
        KeyUp,
        SysKeyDown,  // key went down while Alt was held (and F10): never a plain key
        SysKeyUp,
        Command,     // command `command` from the accelerator table
    };
    Type type = None;
    int key = 0;
    int width = 0;
    int height = 0;
    int command = 0;
};

// Which step of making the rendering context failed.
enum class ContextResult { Ok, NoDeviceContext, NoPixelFormat, PixelFormatNotSet, NoRenderingContext, NotCurrent };

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Opens the window: top-most, undecorated, hidden until createContext, at (0, 0) with the
    // given outer size. False (reason in lastError) when there is no display or no window.
    virtual bool createWindow(const std::string& title, int width, int height) = 0;
    // Makes the double-buffered RGBA context with depth buffer current on this thread, then
    // shows the window and gives it the keyboard focus.
    virtual ContextResult createContext() = 0;
    // Makes no context current and deletes the context. Harmless when there is none.
    virtual void releaseContext() = 0;
    virtual std::string lastError() const = 0;

    // The window's screen rectangle, frame included, and whether it carries a frame.
    virtual Rect windowRect() const = 0;
    virtual bool decorated() const = 0;
    virtual void setDecorated(bool decorated) = 0;
    // Moves and sizes the window (outer size), shows it, above all others when topMost.
    virtual void placeWindow(const Rect& rect, bool topMost) = 0;

    // The display modes of the primary display, in enumeration order.
    virtual std::vector<DisplayMode> displayModes() = 0;
    // Switches the display to the mode and puts the window on it full screen. False when the
    // mode is refused.
    virtual bool changeDisplayMode(const DisplayMode& mode) = 0;
    // Back to the user's own display mode (the window leaves full screen).
    virtual void restoreDisplayMode() = 0;

    // Next waiting event of the window, if any; never blocks.
    virtual bool pollEvent(WindowEvent& event) = 0;
    virtual void showPointer(bool visible) = 0;
    virtual void swapBuffers() = 0;
    // A GL entry point by name; null when the driver lacks it.
    virtual void* procAddress(const char* name) = 0;
    // Ends the process at once with the exit code.
    virtual void exitProcess(int code) = 0;
};

// The window services over SDL. With requireDisplay, SDL's off-screen and dummy video drivers
// (what SDL falls back to when there is no display) count as no display: createWindow fails.
// Without it, an off-screen GL context serves (for rendering that nobody watches live).
std::unique_ptr<WindowSystem> createSdlWindowSystem(bool requireDisplay = true);

// The window services for rendering that nobody watches live (OffscreenWindow<System>.cpp). On
// Unix, SDL's off-screen video driver: the window and its GL context (Mesa's EGL) draw into
// memory, with no display and no X server involved, so nothing that happens to a display (a
// virtual one killed by Ctrl+C with everything else) can end the rendering; it must be the
// process's first use of SDL video to take effect, and SDL_VIDEODRIVER set in the environment
// still wins. On Windows, which has no off-screen driver, a window of the desktop's that is never
// shown.
std::unique_ptr<WindowSystem> createOffscreenWindowSystem();

}  // namespace platform
