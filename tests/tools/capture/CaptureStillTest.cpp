// A still from the capture tool is the very frame the live program's window shows at that music
// time: same window class, same content, same frame composer, read back the same way.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "FrameReadback.h"
#include "PngWriter.h"
#include "RunCommand.h"
#include "app/GlWindow.h"
#include "content/DemoContent.h"
#include "content/RenderPath.h"
#include "platform/FatalError.h"

namespace {

using capturetest::runCommand;
using capturetest::shellQuoted;

// How many different colours a picture holds (a blank or failed frame has one or two).
size_t colourCount(const capture::RgbImage& image) {
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 2 < image.pixels.size(); i += 3)
        colours.insert(image.pixels[i] << 16 | image.pixels[i + 1] << 8 | image.pixels[i + 2]);
    return colours.size();
}

// The capture draws off-screen; the live window here is the test display's. On each render path
// (the capture's default, the fast one, and --faithful) the pixels are the same.
TEST(CaptureStill, StillsEqualTheFramesTheLiveWindowDraws) {
    // The title with the logo, the first burst, the credits.
    const std::vector<int> times = {26897, 107586, 212276};
    char pattern[] = "/tmp/capture-still-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const struct {
        const char* option;
        content::RenderPath path;
    } paths[] = {{"", content::RenderPath::Fast}, {" --faithful", content::RenderPath::Faithful}};
    for (const auto& p : paths) {
        SCOPED_TRACE(content::renderPathName(p.path));
        const std::string prefix = dir + "/" + content::renderPathName(p.path) + "-";
        std::string command = "env -u VX_RENDER_PATH " + shellQuoted(CAPTURE_TOOL) + " --run-dir " + shellQuoted(VX_RUN_DIR) + p.option;
        for (int ms : times) command += " --still " + std::to_string(ms) + "=" + shellQuoted(prefix + std::to_string(ms) + ".png");
        const capturetest::CommandResult tool = runCommand(command);
        ASSERT_EQ(tool.status, 0) << tool.output;
    }

    ASSERT_EQ(chdir(VX_RUN_DIR), 0);
    std::vector<std::string> errors;
    platform::setFatalErrorHandler([&errors](const std::string& text) { errors.push_back(text); });
    app::GlWindow window;
    ASSERT_TRUE(window.create(640, 480, false));
    for (const auto& p : paths) {
        SCOPED_TRACE(content::renderPathName(p.path));
        const std::string prefix = dir + "/" + content::renderPathName(p.path) + "-";
        content::DemoContent content(&window, p.path);
        EXPECT_TRUE(errors.empty()) << errors.front();

        // In the opposite order to the tool's, after an unrelated frame: a frame owes nothing to
        // the frames before it.
        glDepthMask(GL_TRUE);
        content.drawFrame(100000);
        window.present();
        for (auto it = times.rbegin(); it != times.rend(); ++it) {
            glDepthMask(GL_TRUE);  // as the live loop does before every frame
            content.drawFrame(*it);
            const capture::RgbImage live = capture::readFrame(640, 480);
            window.present();

            capture::RgbImage still;
            std::string error;
            ASSERT_TRUE(capture::readPng(prefix + std::to_string(*it) + ".png", &still, &error)) << error;
            EXPECT_EQ(still.width, 640);
            EXPECT_EQ(still.height, 480);
            size_t differing = 0;
            for (size_t i = 0; i < live.pixels.size() && i < still.pixels.size(); ++i) differing += live.pixels[i] != still.pixels[i];
            EXPECT_EQ(differing, 0u) << "at " << *it << " ms";
            EXPECT_GT(colourCount(still), 100u) << "the frame at " << *it << " ms is nearly blank";
        }
    }
    platform::setFatalErrorHandler(nullptr);
    runCommand("rm -rf " + shellQuoted(dir));
}

}  // namespace
