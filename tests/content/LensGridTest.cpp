#include <gtest/gtest.h>

#include <cmath>

#include "content/LensWarp.h"

namespace {

using content::buildLensGrid;
using content::kLensGridSide;
using content::LensGrid;

TEST(LensGrid, PositionsCoverTheUnitSquare) {
    LensGrid grid;
    buildLensGrid(0.325f, 0.235f, 180.0f, grid);
    for (int j = 0; j < kLensGridSide; ++j)
        for (int i = 0; i < kLensGridSide; ++i) {
            EXPECT_EQ(grid[j][i].x, i / 32.0f);
            EXPECT_EQ(grid[j][i].y, j / 32.0f);
        }
}

TEST(LensGrid, StrengthSelectsCollapsedWarpedOrPlain) {
    struct Case {
        float strength;
        bool collapsed;  // every point on the centre
        bool plain;      // every point its own position
    };
    for (const Case c : {Case{0.0f, true, false}, Case{-3.0f, false, true}, Case{180.0f, false, true},
                         Case{1.11f, false, false}}) {
        LensGrid grid;
        buildLensGrid(0.325f, 0.235f, c.strength, grid);
        bool allCentre = true, allPlain = true;
        for (const auto& row : grid)
            for (const auto& p : row) {
                EXPECT_TRUE(std::isfinite(p.s) && std::isfinite(p.t));
                allCentre = allCentre && p.s == 0.325f && p.t == 0.235f;
                allPlain = allPlain && std::fabs(p.s - p.x) < 1e-6f && std::fabs(p.t - p.y) < 1e-6f;
            }
        EXPECT_EQ(allCentre, c.collapsed) << c.strength;
        EXPECT_EQ(allPlain, c.plain) << c.strength;
    }
}

TEST(LensGrid, InsideTheLensTexturesComeFromStrengthTimesDistanceSquared) {
    LensGrid grid;
    buildLensGrid(0.5f, 0.5f, 2.0f, grid);  // lens radius 0.5
    // d = 0.125 straight up: texture from 2 * 0.125^2 = 0.03125 above the centre.
    EXPECT_FLOAT_EQ(grid[20][16].t, 0.53125f);
    EXPECT_FLOAT_EQ(grid[20][16].s, 0.5f);
    // On the centre: the centre itself.
    EXPECT_EQ(grid[16][16].s, 0.5f);
    EXPECT_EQ(grid[16][16].t, 0.5f);
    // Just outside the radius: unwarped; just inside: nearly so (the lens edge is continuous).
    EXPECT_FLOAT_EQ(grid[16][32].s, 1.0f);
    EXPECT_NEAR(grid[31][16].t, 0.96875f, 0.03);
    EXPECT_LT(grid[31][16].t, 0.96875f);
}

}  // namespace
