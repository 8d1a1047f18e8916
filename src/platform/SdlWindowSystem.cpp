// The window services over SDL2 (X11 under Linux).
#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/HeldStderr.h"
#include "platform/SdlEvents.h"
#include "platform/SdlVideo.h"
#include "platform/WindowSystem.h"

namespace platform {

namespace {

class SdlWindowSystem : public WindowSystem {
public:
    ~SdlWindowSystem() override {
        releaseContext();
        if (window_) SDL_DestroyWindow(window_);
    }

    SdlWindowSystem(bool requireDisplay, bool stayHidden) : requireDisplay_(requireDisplay), stayHidden_(stayHidden) {}

    bool createWindow(const std::string& title, int width, int height) override {
        if (!initSdlVideo(&error_)) return false;
        // With no display SDL falls back to drivers that draw where nobody sees it.
        const char* driver = SDL_GetCurrentVideoDriver();
        if (requireDisplay_ && driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
            error_ = "no display: set DISPLAY, or play on a virtual one with xvfb-run";
            return false;
        }
        requestGlAttributes();
        const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP |
                             SDL_WINDOW_HIDDEN;
        HeldStderr held;  // the GL driver's notes while it loads
        window_ = SDL_CreateWindow(title.c_str(), 0, 0, width, height, flags);
        if (!window_) {
            held.replay();
            error_ = SDL_GetError();
            return false;
        }
        return true;
    }

    ContextResult createContext() override {
        if (!window_) return ContextResult::NoDeviceContext;
        HeldStderr held;
        context_ = SDL_GL_CreateContext(window_);
        if (!context_) {
            held.replay();
            error_ = SDL_GetError();
            return ContextResult::NoRenderingContext;
        }
        if (SDL_GL_MakeCurrent(window_, context_) != 0) {
            error_ = SDL_GetError();
            return ContextResult::NotCurrent;
        }
        if (!stayHidden_) {
            SDL_ShowWindow(window_);
            SDL_RaiseWindow(window_);
            SDL_SetWindowInputFocus(window_);
        }
        return ContextResult::Ok;
    }

    void releaseContext() override {
        if (!context_) return;
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
        context_ = nullptr;
    }

    std::string lastError() const override { return error_; }

    Rect windowRect() const override {
        Rect r;
        if (!window_) return r;
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(window_, &x, &y);
        SDL_GetWindowSize(window_, &w, &h);
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) top = left = bottom = right = 0;
        r.left = x - left;
        r.top = y - top;
        r.right = x + w + right;
        r.bottom = y + h + bottom;
        return r;
    }

    bool decorated() const override {
        return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_BORDERLESS) == 0;
    }

    void setDecorated(bool decorated) override {
        if (window_) SDL_SetWindowBordered(window_, decorated ? SDL_TRUE : SDL_FALSE);
    }

    void placeWindow(const Rect& rect, bool topMost) override {
        if (!window_) return;
        SDL_SetWindowAlwaysOnTop(window_, topMost ? SDL_TRUE : SDL_FALSE);
        if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) == 0) {
            int top = 0, left = 0, bottom = 0, right = 0;
            if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) top = left = bottom = right = 0;
            SDL_SetWindowPosition(window_, rect.left + left, rect.top + top);
            SDL_SetWindowSize(window_, rect.width() - left - right, rect.height() - top - bottom);
        }
        if (stayHidden_) return;
        SDL_ShowWindow(window_);
        // Leaving or entering full screen may unmap the window, and X then drops the keyboard
        // focus that createContext gave it.
        SDL_RaiseWindow(window_);
        SDL_SetWindowInputFocus(window_);
    }

    std::vector<DisplayMode> displayModes() override {
        std::vector<DisplayMode> modes;
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode m;
            if (SDL_GetDisplayMode(0, i, &m) != 0) break;
            DisplayMode mode;
            mode.width = m.w;
            mode.height = m.h;
            mode.bitsPerPixel = SDL_BITSPERPIXEL(m.format);
            mode.refreshRate = m.refresh_rate;
            mode.index = i;
            modes.push_back(mode);
        }
        return modes;
    }

    bool changeDisplayMode(const DisplayMode& mode) override {
        SDL_DisplayMode m;
        if (!window_ || SDL_GetDisplayMode(0, mode.index, &m) != 0 || SDL_SetWindowDisplayMode(window_, &m) != 0) {
            error_ = SDL_GetError();
            return false;
        }
        // Cover the screen as a window first: without a window manager (a bare X server) SDL's
        // full-screen request switches the mode but leaves the window's size alone.
        if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) == 0) {
            SDL_SetWindowPosition(window_, 0, 0);
            SDL_SetWindowSize(window_, m.w, m.h);
        }
        if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) != 0) {
            error_ = SDL_GetError();
            return false;
        }
        return true;
    }

    void restoreDisplayMode() override {
        if (window_) SDL_SetWindowFullscreen(window_, 0);
    }

    bool pollEvent(WindowEvent& event) override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (translateSdlEvent(e, event)) return true;
        }
        return false;
    }

    void showPointer(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

    void swapBuffers() override {
        if (window_ && context_) SDL_GL_SwapWindow(window_);
    }

    void* procAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }

    void exitProcess(int code) override { std::exit(code); }

private:
    const bool requireDisplay_;
    const bool stayHidden_;  // never shown: drawn into and read back only
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    std::string error_;
};

}  // namespace

std::unique_ptr<WindowSystem> createSdlWindowSystem(bool requireDisplay) {
    return std::make_unique<SdlWindowSystem>(requireDisplay, false);
}

std::unique_ptr<WindowSystem> createHiddenSdlWindowSystem() { return std::make_unique<SdlWindowSystem>(false, true); }

}  // namespace platform
