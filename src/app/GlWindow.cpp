#include "app/GlWindow.h"

#include <algorithm>

#include "app/FatalError.h"
#include "platform/VirtualKeys.h"

namespace app {

const char* const windowTitle = "qel - vorthalimex | the halcyrne, part 1";

namespace {
// Stands in for glActiveTextureARB on a driver without multitexturing, so that the drawing code
// draws with one texture unit instead of calling through a null pointer.
void noActiveTexture(GLenum) {}
}  // namespace

GlWindow::~GlWindow() { destroy(); }

bool GlWindow::create(int width, int height, bool fullScreen) {
    return create(platform::createSdlWindowSystem(), width, height, fullScreen);
}

bool GlWindow::create(std::unique_ptr<platform::WindowSystem> windowSystem, int width, int height,
                      bool fullScreen) {
    active = false;
    system_ = std::move(windowSystem);
    contextLive_ = false;
    released_ = false;
    requestedWidth = width;
    requestedHeight = height;
    this->width = width;
    this->height = height;

    if (!system_->createWindow(windowTitle, width, height)) {
        fatalError("cannot create window (" + system_->lastError() + ")");
        return false;
    }
    savedStyle = system_->decorated();
    savedRect = system_->windowRect();

    if (!createContext(this->width, this->height)) return false;

    if (!setDisplayMode(fullScreen) && !setDisplayMode(true)) return false;
    accelerators = true;
    loadExtensions();
    active = true;
    return true;
}

bool GlWindow::createContext(int width, int height) {
    const char* failure = nullptr;
    switch (system_->createContext()) {
        case platform::ContextResult::Ok: break;
        case platform::ContextResult::NoDeviceContext: failure = "cannot create devicecontext"; break;
        case platform::ContextResult::NoPixelFormat: failure = "no suitable pixelformat"; break;
        case platform::ContextResult::PixelFormatNotSet: failure = "cannot set pixelformat"; break;
        case platform::ContextResult::NoRenderingContext: failure = "no rendering context"; break;
        case platform::ContextResult::NotCurrent: failure = "cannot activate glrc"; break;
    }
    if (failure) {
        fatalError(failure);
        return false;
    }
    contextLive_ = true;

    glEnable(GL_TEXTURE_2D);
    glClearColor(0.2f, 0.2f, 0.2f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LESS);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    setViewport(width, height);
    return true;
}

bool GlWindow::setDisplayMode(bool toggle) {
    if (windowed) savedRect = system_->windowRect();
    if (toggle) windowed = !windowed;

    if (windowed) {
        system_->setDecorated(savedStyle);
        // The outer size, frame included: the drawing size until the next resize arrives.
        width = savedRect.width();
        height = savedRect.height();
        system_->restoreDisplayMode();
        system_->placeWindow(savedRect, false);
        system_->showPointer(true);
    } else {
        system_->setDecorated(false);
        platform::DisplayMode mode;
        if (!findDisplayMode(requestedWidth, requestedHeight, mode) &&
            !findDisplayMode(2 * requestedWidth, 2 * requestedHeight, mode))
            return false;
        if (!system_->changeDisplayMode(mode)) return false;
        system_->placeWindow(platform::Rect{0, 0, width, height}, true);
        // No pointer over the full-screen picture.
        system_->showPointer(false);
    }
    setViewport(width, height);
    return true;
}

bool GlWindow::findDisplayMode(int width, int height, platform::DisplayMode& mode) {
    mode = platform::DisplayMode{};
    for (const platform::DisplayMode& candidate : system_->displayModes()) {
        if (candidate.width == width && candidate.height == height && candidate.bitsPerPixel > mode.bitsPerPixel) {
            this->width = width;
            this->height = height;
            mode = candidate;
        }
    }
    return mode.bitsPerPixel >= 15;
}

void GlWindow::setViewport(int width, int height) {
    if (width <= 0) width = 1;
    if (height <= 0) height = 1;
    glViewport(0, 0, width, height);
    this->width = width;
    this->height = height;
}

void GlWindow::loadExtensions() {
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    if (maxTextureSize < 512) fatalError("support for atleast 512*512 resolution textures required");
    glActiveTextureARB = reinterpret_cast<ActiveTextureProc>(system_->procAddress("glActiveTextureARB"));
    if (!glActiveTextureARB) {
        glActiveTextureARB = &noActiveTexture;
        fatalError("support for GL_ARB_multitexture required");
    }
}

void GlWindow::fatalError(const std::string& text) {
    destroy();
    reportFatalError(text);
}

void GlWindow::destroy() {
    active = false;
    accelerators = false;
    if (!system_ || released_) return;
    released_ = true;
    system_->showPointer(true);
    system_->releaseContext();
    contextLive_ = false;
    system_->restoreDisplayMode();
}

void GlWindow::present() {
    glFinish();
    glFlush();
    if (system_ && contextLive_) system_->swapBuffers();
}

bool GlWindow::translateAccelerator(const platform::WindowEvent& event, platform::WindowEvent& command) const {
    if (!accelerators || event.type != platform::WindowEvent::SysKeyDown || event.key != platform::vk::Return)
        return false;
    command = platform::WindowEvent{};
    command.type = platform::WindowEvent::Command;
    command.command = toggleFullScreenCommand;
    return true;
}

void GlWindow::pumpMessages() {
    if (!system_) return;
    using platform::WindowEvent;
    // A key released in the same pump that saw it go down (a short press during a long frame)
    // stays down until the next pump, so the main loop sees every press at least once.
    for (int key : heldKeyUps_) keys[key] = 0;
    heldKeyUps_.clear();
    bool wentDown[platform::vk::Count] = {};
    WindowEvent event, command;
    while (system_->pollEvent(event)) {
        if (translateAccelerator(event, command)) windowProc(command);
        const bool validKey = event.key >= 0 && event.key < platform::vk::Count;
        if (event.type == WindowEvent::KeyDown && validKey) {
            wentDown[event.key] = true;
            heldKeyUps_.erase(std::remove(heldKeyUps_.begin(), heldKeyUps_.end(), event.key), heldKeyUps_.end());
        } else if (event.type == WindowEvent::KeyUp && validKey && wentDown[event.key]) {
            heldKeyUps_.push_back(event.key);
            continue;
        }
        windowProc(event);
    }
}

void GlWindow::windowProc(const platform::WindowEvent& event) {
    using platform::WindowEvent;
    switch (event.type) {
        case WindowEvent::Close:
            quitRequested = 1;
            break;
        case WindowEvent::Size:
            if (active) setViewport(event.width, event.height);
            break;
        case WindowEvent::KeyDown:
        case WindowEvent::KeyUp:
            if (event.key >= 0 && event.key < platform::vk::Count) keys[event.key] = event.type == WindowEvent::KeyDown;
            break;
        case WindowEvent::Command:
            if (event.command != toggleFullScreenCommand || !active) break;
            active = false;
            if (!setDisplayMode(true) && !setDisplayMode(true)) {
                destroy();
                system_->exitProcess(0);
                return;
            }
            active = true;
            break;
        default:  // system keys never touch the key state
            break;
    }
}

}  // namespace app
