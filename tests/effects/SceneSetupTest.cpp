#include "effects/SceneSetup.h"

#include <gtest/gtest.h>

#include <cmath>

#include "effects/LayerFixtures.h"
#include "effects/Orbit.h"
#include "support/GlTestContext.h"

namespace {

using namespace testfixtures;
using namespace effects;

using SceneSetup = testsupport::GlTest;

TEST(LetterboxAspect, BandOfTheWindowNeverBelowOneRow) {
    struct Case {
        int width, height;
        double aspect;
    };
    const Case cases[] = {{640, 480, 640.0 / 272}, {1280, 960, 1280.0 / 752}, {640, 209, 640.0},
                          {640, 208, 640.0},       {640, 100, 640.0},          {320, 0, 320.0}};
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(letterboxAspect(c.width, c.height), c.aspect) << c.height;
}

TEST_F(SceneSetup, PerspectiveUsesTheBandAspectWhateverTheViewport) {
    struct Case {
        int width, height;
    };
    for (const Case c : {Case{640, 480}, Case{640, 200}}) {
        glViewport(0, 0, 512, 256);
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(1, 2, 3);
        glMatrixMode(GL_PROJECTION);
        glTranslatef(1, 2, 3);
        setLetterboxPerspective(95.0f, 0.1f, 30000.0f, c.width, c.height);
        const auto p = matrix(GL_PROJECTION_MATRIX);
        const double f = 1.0 / std::tan(95.0 / 2 * M_PI / 180);
        EXPECT_NEAR(p[5], f, 1e-5);
        EXPECT_NEAR(p[0], f / letterboxAspect(c.width, c.height), 1e-6);
        for (float v : p) EXPECT_TRUE(std::isfinite(v));
        EXPECT_NEAR(p[10], -(30000.0 + 0.1) / (30000.0 - 0.1), 1e-5);
        EXPECT_TRUE(isIdentity(matrix(GL_MODELVIEW_MATRIX)));
        EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
        EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 512, 256}));
    }
    expectNoGlError("perspective");
}

TEST_F(SceneSetup, FogIsLinearFromOneToTheEnd) {
    const float fogColour[4] = {0.25f, 0.5f, 0.75f, 0.0f};
    glFogf(GL_FOG_DENSITY, 0.3f);
    setLinearFog(fogColour, 1234.5f);
    EXPECT_TRUE(enabled(GL_FOG));
    EXPECT_EQ(integer(GL_FOG_MODE), GL_LINEAR);
    EXPECT_EQ(integer(GL_FOG_HINT), GL_DONT_CARE);
    float v[4] = {};
    glGetFloatv(GL_FOG_COLOR, v);
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(v[k], fogColour[k]);
    glGetFloatv(GL_FOG_START, v);
    EXPECT_EQ(v[0], 1.0f);
    glGetFloatv(GL_FOG_END, v);
    EXPECT_EQ(v[0], 1234.5f);
    glGetFloatv(GL_FOG_DENSITY, v);
    EXPECT_EQ(v[0], 1.0f);
    glDisable(GL_FOG);
}

TEST_F(SceneSetup, TextureResetLeavesUnitZeroPlainAndActive) {
    const ActiveTextureProc glActiveTextureARB = activeTextureProc();
    ASSERT_NE(glActiveTextureARB, nullptr);
    const GLenum unit1Caps[] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_2D};
    const GLenum unit0Caps[] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q,
                                GL_TEXTURE_2D,    GL_LIGHTING,      GL_LIGHT0};
    glActiveTextureARB(GL_TEXTURE1_ARB);
    for (GLenum cap : unit1Caps) glEnable(cap);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glScalef(2, 2, 2);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    for (GLenum cap : unit0Caps) glEnable(cap);
    glLoadIdentity();
    glScalef(3, 3, 3);
    glActiveTextureARB(GL_TEXTURE1_ARB);  // the reset must not rely on the unit in use

    resetTextureUnits(glActiveTextureARB);
    expectNoGlError("texture reset");

    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    for (GLenum cap : unit0Caps) EXPECT_FALSE(enabled(cap)) << std::hex << cap;
    glMatrixMode(GL_TEXTURE);
    EXPECT_TRUE(isIdentity(matrix(GL_TEXTURE_MATRIX)));
    glActiveTextureARB(GL_TEXTURE1_ARB);
    for (GLenum cap : unit1Caps) EXPECT_FALSE(enabled(cap)) << std::hex << cap;
    EXPECT_EQ(matrix(GL_TEXTURE_MATRIX)[0], 2.0f);  // unit 1's texture matrix is not touched
    glLoadIdentity();
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glMatrixMode(GL_MODELVIEW);
}

// Rotates p by `degrees` about the axis (1, 0.5, 0), as glRotate does (normalising the axis).
std::array<double, 3> rotateAboutTiltAxis(std::array<double, 3> p, double degrees) {
    const double n = std::sqrt(1.25);
    const double k[3] = {1 / n, 0.5 / n, 0};
    const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    const double dot = k[0] * p[0] + k[1] * p[1] + k[2] * p[2];
    const double cross[3] = {k[1] * p[2] - k[2] * p[1], k[2] * p[0] - k[0] * p[2], k[0] * p[1] - k[1] * p[0]};
    std::array<double, 3> r{};
    for (int i = 0; i < 3; ++i) r[i] = p[i] * c + cross[i] * s + k[i] * dot * (1 - c);
    return r;
}

TEST_F(SceneSetup, OrbitCameraLooksFromTheEyeAtTheCentreThenTilts) {
    for (float t : {0.0f, 352.0f, 123.0f}) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        applyOrbitCamera(t);
        const auto m = matrix(GL_MODELVIEW_MATRIX);
        // The camera position in object space is -R^T T of the (rigid) model-view matrix.
        std::array<double, 3> cam{};
        for (int i = 0; i < 3; ++i) cam[i] = -(m[4 * i] * m[12] + m[4 * i + 1] * m[13] + m[4 * i + 2] * m[14]);
        // Undo the tilt: the scene's camera sits at the orbit's eye.
        const auto world = rotateAboutTiltAxis(cam, orbitTilt(t));
        const Vec3d eye = orbitEye(t);
        const double tol = 1e-4 * (1 + std::fabs(eye.z));
        EXPECT_NEAR(world[0], eye.x, tol) << t;
        EXPECT_NEAR(world[1], eye.y, tol) << t;
        EXPECT_NEAR(world[2], eye.z, tol) << t;
        // The centre (0, 0, -150), tilted into object space, lies straight ahead on -z.
        const auto centre = rotateAboutTiltAxis({0, 0, -150}, -orbitTilt(t));
        double v[3];
        for (int i = 0; i < 3; ++i) v[i] = m[i] * centre[0] + m[4 + i] * centre[1] + m[8 + i] * centre[2] + m[12 + i];
        EXPECT_NEAR(v[0], 0, 1e-2) << t;
        EXPECT_NEAR(v[1], 0, 1e-2) << t;
        EXPECT_LT(v[2], 0) << t;
    }
    glLoadIdentity();
}

}  // namespace
