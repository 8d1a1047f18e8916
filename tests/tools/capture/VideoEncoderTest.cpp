#include "VideoEncoder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// The PATH walk on both systems' separators, with a made-up set of files in place of the disk.
TEST(FindOnPath, FirstFolderHoldingTheFileWinsEmptyEntriesMeanTheCurrentFolder) {
    struct Case {
        const char* path;
        char list, folder;
        std::set<std::string> files;
        std::string expected;
        std::vector<std::string> asked;  // the candidates tried, in order
    };
    const std::vector<Case> cases = {
        {"/usr/bin:/bin", ':', '/', {"/bin/ffmpeg"}, "/bin/ffmpeg", {"/usr/bin/ffmpeg", "/bin/ffmpeg"}},
        {"/a:/b", ':', '/', {"/a/ffmpeg", "/b/ffmpeg"}, "/a/ffmpeg", {"/a/ffmpeg"}},
        {"/a::/b", ':', '/', {"./ffmpeg"}, "./ffmpeg", {"/a/ffmpeg", "./ffmpeg"}},
        {"/a:", ':', '/', {}, "", {"/a/ffmpeg", "./ffmpeg"}},
        {"", ':', '/', {"./ffmpeg"}, "./ffmpeg", {"./ffmpeg"}},
        {nullptr, ':', '/', {}, "", {"./ffmpeg"}},
        {"C:\\tools;D:\\bin", ';', '\\', {"D:\\bin\\ffmpeg"}, "D:\\bin\\ffmpeg",
         {"C:\\tools\\ffmpeg", "D:\\bin\\ffmpeg"}},
        // A ':' inside a Windows folder is no separator there.
        {"C:\\x:y;", ';', '\\', {}, "", {"C:\\x:y\\ffmpeg", ".\\ffmpeg"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> asked;
        const std::string found = capture::findOnPath(c.path, c.list, c.folder, "ffmpeg", [&](const std::string& p) {
            asked.push_back(p);
            return c.files.count(p) > 0;
        });
        const std::string label = c.path ? c.path : "(null)";
        EXPECT_EQ(found, c.expected) << label;
        EXPECT_EQ(asked, c.asked) << label;
    }
}

}  // namespace
