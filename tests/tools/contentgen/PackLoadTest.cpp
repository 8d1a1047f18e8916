// The pack in the run directory loads through the program's own loaders, and the content
// object starts on it with no fatal report.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>

#include "Textures.h"
#include "assets/JpegLoader.h"
#include "assets/Object3D.h"
#include "content/ContentFixtures.h"
#include "content/DemoContent.h"
#include "effects/LayerFixtures.h"
#include "support/GlTestContext.h"

namespace {

// Works in the run directory for the test's lifetime, as the program does.
class InRunDirectory {
public:
    InRunDirectory() : previous_(getcwd(buffer_, sizeof buffer_) ? buffer_ : ".") {
        EXPECT_EQ(chdir(PACK_DIR), 0) << PACK_DIR;
    }
    ~InRunDirectory() { EXPECT_EQ(chdir(previous_.c_str()), 0); }

private:
    char buffer_[4096];
    std::string previous_;
};

class PackLoad : public testsupport::GlTest {
protected:
    InRunDirectory inRunDirectory;
    contenttest::FatalReports reports;
};

TEST_F(PackLoad, EveryTextureLoadsThroughTheJpegLoader) {
    for (const contentgen::TextureSpec& spec : contentgen::textureSpecs()) {
        const std::unique_ptr<assets::Texture> texture =
            assets::loadJpegTexture(std::string("data\\") + spec.fileName, 3);
        EXPECT_TRUE(texture) << spec.fileName;
    }
    EXPECT_TRUE(reports.texts.empty()) << reports.texts.front();
    expectNoGlError("loading the textures");
}

// Share of vertex normals pointing away from the centre (positive) or towards it (negative).
float outwardShare(const assets::Object3D& mesh) {
    int outward = 0;
    for (int v = 0; v < mesh.vertexCount; ++v) {
        const float* p = &mesh.positions[3 * v];
        const float* n = &mesh.vertexNormals[3 * v];
        outward += (p[0] * n[0] + p[1] * n[1] + p[2] * n[2]) > 0.0f ? 1 : -1;
    }
    return static_cast<float>(outward) / mesh.vertexCount;
}

TEST_F(PackLoad, MeshesLoadWithTheStarSphereFromTheArchive) {
    assets::Object3D ball, stars;
    ball.load("data\\ballo.ob3");
    stars.load("data\\invsphere.ob3");  // not in data/: read out of blow.job
    EXPECT_TRUE(reports.texts.empty()) << reports.texts.front();
    ASSERT_TRUE(ball.loaded);
    ASSERT_TRUE(stars.loaded);
    EXPECT_NE(stars.displayList, 0u);
    EXPECT_EQ(outwardShare(ball), 1.0f);
    EXPECT_EQ(outwardShare(stars), -1.0f);
}

TEST_F(PackLoad, ContentStartsOnThePackWithNoFatalReport) {
    platform::DrawingSurface window;
    window.width = 640;
    window.height = 480;
    window.glActiveTextureARB = testfixtures::activeTextureProc();
    content::DemoContent content(&window);
    EXPECT_TRUE(reports.texts.empty()) << reports.texts.front();
    EXPECT_TRUE(content.starsTexture && content.logoTexture && content.creditsTexture && content.valo4Texture);
    EXPECT_TRUE(content::ballObject.loaded && content::invsphereObject.loaded);
    glDepthMask(GL_TRUE);
    content.drawFrame(60000);
    expectNoGlError("a frame on the pack");
}

}  // namespace
