// The program: opens the window, loads the show, plays it, and tears everything down in order.
// The command line is ignored. Exit status 0, or 1 when no window with a GL context can be
// opened at all (after the report).
#include "app/DemoRunner.h"
#include "app/GlWindow.h"

namespace {
// The two long-lived objects, reachable from anywhere in the process.
app::GlWindow* theWindow = nullptr;
app::DemoRunner* theRunner = nullptr;
}  // namespace

int main() {
    theWindow = new app::GlWindow;
    theRunner = new app::DemoRunner;

    if (!theWindow->create(640, 480, true)) {
        delete theRunner;
        delete theWindow;
        return 1;
    }
    theRunner->init(theWindow);
    theRunner->run();
    theRunner->shutdown();

    theWindow->destroy();
    delete theWindow;  // its destructor finds nothing left to release
    theWindow = nullptr;
    delete theRunner;
    theRunner = nullptr;
    return 0;
}
