#pragma once
// Window services that answer as the test configures and record what the window asked of them.
// The state lives in a record the test keeps, so it outlives the window that owns the fake.
// Makes no GL context: the GL tests run on the test context that is already current.
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

namespace testsupport {

struct WindowState {
    // configuration
    bool windowOpens = true;
    platform::ContextResult contextResult = platform::ContextResult::Ok;
    std::vector<platform::DisplayMode> modes;
    bool modeChangeAccepted = true;
    bool multitexture = true;
    std::deque<platform::WindowEvent> events;

    // what the window did
    std::string title;
    platform::Rect rect;
    bool decorated = false;
    bool topMost = false;
    bool fullScreen = false;
    int modeIndex = -1;
    bool pointerVisible = true;
    int releases = 0;
    int restores = 0;
    int swaps = 0;
    int exitCode = -1;
};

inline void fakeActiveTexture(unsigned) {}

class FakeWindowSystem : public platform::WindowSystem {
public:
    explicit FakeWindowSystem(WindowState& s) : s_(s) {}

    bool createWindow(const std::string& title, int width, int height) override {
        s_.title = title;
        s_.rect = platform::Rect{0, 0, width, height};
        s_.topMost = true;
        return s_.windowOpens;
    }
    platform::ContextResult createContext() override { return s_.contextResult; }
    void releaseContext() override { ++s_.releases; }
    std::string lastError() const override { return "no display"; }
    platform::Rect windowRect() const override { return s_.rect; }
    bool decorated() const override { return s_.decorated; }
    void setDecorated(bool decorated) override { s_.decorated = decorated; }
    void placeWindow(const platform::Rect& rect, bool topMost) override {
        s_.rect = rect;
        s_.topMost = topMost;
    }
    std::vector<platform::DisplayMode> displayModes() override { return s_.modes; }
    bool changeDisplayMode(const platform::DisplayMode& mode) override {
        if (!s_.modeChangeAccepted) return false;
        s_.fullScreen = true;
        s_.modeIndex = mode.index;
        return true;
    }
    void restoreDisplayMode() override {
        ++s_.restores;
        s_.fullScreen = false;
        s_.modeIndex = -1;
    }
    bool pollEvent(platform::WindowEvent& event) override {
        if (s_.events.empty()) return false;
        event = s_.events.front();
        s_.events.pop_front();
        return true;
    }
    void showPointer(bool visible) override { s_.pointerVisible = visible; }
    void swapBuffers() override { ++s_.swaps; }
    void* procAddress(const char* name) override {
        return s_.multitexture && std::string(name) == "glActiveTextureARB" ? reinterpret_cast<void*>(&fakeActiveTexture)
                                                                            : nullptr;
    }
    void exitProcess(int code) override { s_.exitCode = code; }

private:
    WindowState& s_;
};

inline platform::DisplayMode mode(int index, int width, int height, unsigned bits, int hz = 60) {
    platform::DisplayMode m;
    m.index = index;
    m.width = width;
    m.height = height;
    m.bitsPerPixel = bits;
    m.refreshRate = hz;
    return m;
}

inline platform::WindowEvent event(platform::WindowEvent::Type type, int key = 0, int width = 0, int height = 0) {
    platform::WindowEvent e;
    e.type = type;
    e.key = key;
    e.width = width;
    e.height = height;
    e.command = type == platform::WindowEvent::Command ? key : 0;
    return e;
}

}  // namespace testsupport
