// The extraction name rules, both sets on every system: which names become which parts, and why
// the others are refused.
#include "MemberPath.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Parts = std::vector<std::string>;

struct Case {
    std::string name;
    Parts parts;         // empty: refused
    std::string reason;  // a piece of the reason when refused
};

void check(const Case& c, NameRules rules) {
    std::string reason;
    const auto parts = memberPath(c.name, rules, reason);
    const char* set = rules == NameRules::Windows ? "windows" : "posix";
    if (c.parts.empty()) {
        EXPECT_FALSE(parts.has_value()) << set << ": " << c.name;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << set << ": " << c.name << " -> " << reason;
        EXPECT_EQ(reason.rfind("refused: ", 0), 0u) << reason;
    } else {
        ASSERT_TRUE(parts.has_value()) << set << ": " << c.name << " -> " << reason;
        EXPECT_EQ(*parts, c.parts) << set << ": " << c.name;
    }
}

const std::string outside = "leads outside the output folder";

// What both sets of rules take or refuse alike.
TEST(MemberPathTest, BothRules) {
    const Case cases[] = {
        {"a.txt", {"a.txt"}, ""},
        {"data\\fire.jpg", {"data", "fire.jpg"}, ""},
        {"a/b\\c", {"a", "b", "c"}, ""},
        {"a//./b/", {"a", "b"}, ""},
        {"caf\xc3\xa9.txt", {"caf\xc3\xa9.txt"}, ""},
        {"", {}, "empty name"},
        {std::string("a\0b", 3), {}, "zero byte"},
        {std::string(5000, 'n'), {}, "5000 bytes long"},
        {"/etc/passwd", {}, outside},
        {"\\x", {}, outside},
        {"../x", {}, outside},
        {"a\\..\\..\\x", {}, outside},
        {"./.", {}, "the output folder itself"},
    };
    for (const Case& c : cases) {
        check(c, NameRules::Posix);
        check(c, NameRules::Windows);
    }
}

TEST(MemberPathTest, WindowsRules) {
    const Case cases[] = {
        {"C:\\x", {}, "starts with a drive (C:)"},
        {"c:x", {}, "starts with a drive (c:)"},
        {"\\\\?\\C:\\x", {}, "device or network path"},
        {"\\\\.\\PhysicalDrive0", {}, "device or network path"},
        {"//server/share/x", {}, "device or network path"},
        {"CON", {}, "\"CON\" is a device name"},
        {"data/nul.txt", {}, "\"nul.txt\" is a device name"},
        {"Com1.tar.gz", {}, "\"Com1.tar.gz\" is a device name"},
        {"lpt9", {}, "device name"},
        {"aux .c", {}, "device name"},
        {"a/PRN/b", {}, "\"PRN\" is a device name"},
        {"a.txt:hidden", {}, "':'"},
        {"dir/x:y", {}, "':'"},
        {"x.", {}, "\"x.\" ends in a dot or a space"},
        {"dir. /x", {}, "\"dir. \" ends in a dot or a space"},
        {"what?.txt", {}, "character that Windows does not allow"},
        {"tab\there", {}, "character that Windows does not allow"},
        // Close to the refused names, but plain files on Windows too.
        {"COM0", {"COM0"}, ""},
        {"COM10", {"COM10"}, ""},
        {"console.log", {"console.log"}, ""},
        {"nullable/x", {"nullable", "x"}, ""},
        {"..x", {"..x"}, ""},
        {"a.b.c", {"a.b.c"}, ""},
    };
    for (const Case& c : cases) check(c, NameRules::Windows);
}

// Unix keeps taking names that are ordinary files there; only the drive form (a letter and a ':'
// at the start) stays refused, as it always was.
TEST(MemberPathTest, PosixRulesKeepUnixNames) {
    const Case cases[] = {
        {"aux.c", {"aux.c"}, ""},
        {"src/con.h", {"src", "con.h"}, ""},
        {"ab:c", {"ab:c"}, ""},
        {"x/a:b", {"x", "a:b"}, ""},
        {"x.", {"x."}, ""},
        {"what?", {"what?"}, ""},
        {"C:\\x", {}, outside},
        {"a:b", {}, outside},
        {"\\\\?\\C:\\x", {}, outside},
    };
    for (const Case& c : cases) check(c, NameRules::Posix);
}

TEST(MemberPathTest, ThisSystemsRules) {
    std::string reason;
    const bool takesDevices = memberPath("aux.c", systemNameRules(), reason).has_value();
#ifdef _WIN32
    EXPECT_FALSE(takesDevices);
#else
    EXPECT_TRUE(takesDevices);
#endif
}

}  // namespace
