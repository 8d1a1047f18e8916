#include "content/RenderPath.h"

#include <gtest/gtest.h>

namespace {

using content::RenderPath;

TEST(RenderPathTest, ExplicitRequestThenEnvironmentThenFast) {
    struct Case {
        std::optional<RenderPath> requested;
        const char* environment;
        RenderPath expected;
        bool warns;
    };
    const Case cases[] = {
        {std::nullopt, nullptr, RenderPath::Fast, false},
        {std::nullopt, "", RenderPath::Fast, false},
        {std::nullopt, "faithful", RenderPath::Faithful, false},
        {std::nullopt, "fast", RenderPath::Fast, false},
        {std::nullopt, "fast-fixed", RenderPath::FastFixedFunction, false},
        {std::nullopt, "fast-", RenderPath::Fast, true},
        {std::nullopt, "Faithful", RenderPath::Fast, true},  // names are lower case
        {std::nullopt, "faithful ", RenderPath::Fast, true},
        {RenderPath::Faithful, "fast", RenderPath::Faithful, false},
        {RenderPath::Fast, "faithful", RenderPath::Fast, false},
        {RenderPath::Faithful, "bogus", RenderPath::Faithful, false},  // not even looked at
    };
    for (const Case& c : cases) {
        std::string warning;
        const char* env = c.environment ? c.environment : "(unset)";
        EXPECT_EQ(content::chooseRenderPath(c.requested, c.environment, &warning), c.expected) << env;
        EXPECT_EQ(!warning.empty(), c.warns) << env << ": " << warning;
        if (c.warns) {
            EXPECT_NE(warning.find("VX_RENDER_PATH"), std::string::npos) << warning;
        }
    }
}

TEST(RenderPathTest, NamesRoundTrip) {
    for (RenderPath path : {RenderPath::Faithful, RenderPath::Fast, RenderPath::FastFixedFunction})
        EXPECT_EQ(content::parseRenderPath(content::renderPathName(path)), path);
    EXPECT_FALSE(content::parseRenderPath("").has_value());
    EXPECT_FALSE(content::parseRenderPath("fastest").has_value());
}

}  // namespace
