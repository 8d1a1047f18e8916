// The program: opens the window, loads the show, plays it, and tears everything down in order.
// With no arguments it plays the show; --help and --version print and exit, --faithful picks the
// reference drawing path, --timedemo draws the show silently as fast as it goes and prints its
// frame times. Exit status 0; 1 when the content is nowhere to be found or no window
// with a GL context can be opened at all (after the report); 2 for a bad command line.
#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ContentSearch.h"
#include "app/DemoRunner.h"
#include "app/GlWindow.h"
#include "app/Timedemo.h"
#include "content/RenderPath.h"
#include "platform/Console.h"
#include "platform/MessageBox.h"
#include "platform/ProcessMemory.h"

namespace {
const char* const kProgram = "vorthalimex";

// The two long-lived objects, reachable from anywhere in the process.
app::GlWindow* theWindow = nullptr;
app::DemoRunner* theRunner = nullptr;
}  // namespace

int main(int argc, char** argv) {
    const bool stderrReadable = platform::attachParentConsole();
    app::ProgramOptions options;
    std::string error;
    if (!app::parseProgramOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::fprintf(stderr, "%s: %s (see %s --help)\n", kProgram, error.c_str(), kProgram);
        return 2;
    }
    if (options.help) {
        std::fputs(app::programUsage(kProgram).c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(app::programVersion(kProgram).c_str(), stdout);
        return 0;
    }
    const content::RenderPath renderPath = content::renderPathAtStartUp(options.renderPath, kProgram);
    // Before any window: without its content the show would only be a row of error boxes.
    std::string report;
    if (!app::enterContentFolder(&report)) {
        std::fprintf(stderr, "%s: %s", kProgram, report.c_str());
        // Started from the desktop, the show has nowhere else to say why it does not play.
        if (!stderrReadable) platform::showErrorBox(kProgram, report);
        return 1;
    }

    // The GL driver allocates and frees frame-sized buffers every frame: keep them in the process.
    platform::keepFreedBlocksForReuse();
    theWindow = new app::GlWindow;
    theRunner = new app::DemoRunner(renderPath);

    if (!theWindow->create(640, 480, true)) {
        delete theRunner;
        delete theWindow;
        return 1;
    }
    theRunner->init(theWindow);
    if (options.timedemo) {
        const app::StepOptions& step = options.step;
        const app::TimedemoResult result = app::runTimedemo(
            *theWindow, [](int ms) { theRunner->content->drawFrame(ms); },
            app::planFrames(step.fps, step.fromMs, step.toMs), stderr);
        const GLubyte* renderer = glGetString(GL_RENDERER);
        std::printf("%s\n", app::timedemoSummary(result, content::renderPathName(renderPath),
                                                  renderer ? reinterpret_cast<const char*>(renderer) : "unknown")
                                  .c_str());
    } else {
        theRunner->run();
    }
    theRunner->shutdown();

    theWindow->destroy();
    delete theWindow;  // its destructor finds nothing left to release
    theWindow = nullptr;
    delete theRunner;
    theRunner = nullptr;
    return 0;
}
