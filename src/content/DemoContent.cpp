#include "content/DemoContent.h"

#include "assets/JpegLoader.h"
#include "content/BandPass.h"
#include "effects/SceneSetup.h"

namespace content {

assets::Object3D ballObject;
assets::Object3D invsphereObject;
std::unique_ptr<assets::OutlineFont> outlineFont;

namespace {

// Every picture of the show is loaded linear and mipmapped.
constexpr int kImageFilterQuality = 3;

DemoContent::TexturePtr loadImage(const char* path) {
    return assets::loadJpegTexture(path, kImageFilterQuality);
}

DemoContent::TexturePtr makeTarget(int width, int height) {
    return std::make_unique<assets::Texture>(width, height);
}

}  // namespace

DemoContent::DemoContent(platform::DrawingSurface* window, RenderPath path) : window(window), renderPath(path) {
    ballObject.load("data\\ballo.ob3");
    invsphereObject.load("data\\invsphere.ob3");
    outlineFont = std::make_unique<assets::OutlineFont>("arial", 0.25f);

    // A file named twice is decoded twice and gives two textures.
    valo2cTexture = loadImage("data\\valo2c.jpg");
    darkpartTexture = loadImage("data\\darkpart.jpg");
    valo2cTexture2 = loadImage("data\\valo2c.jpg");
    fireTexture = loadImage("data\\fire.jpg");
    fire2d2bTexture = loadImage("data\\fire2d2b.jpg");
    firetwirlTexture = loadImage("data\\firetwirlb2.jpg");
    darkpartTexture2 = loadImage("data\\darkpart.jpg");
    logoTexture = loadImage("data\\vorthlogo2b.jpg");
    partiTexture = loadImage("data\\parti1.jpg");
    starsTexture = loadImage("data\\stars4.jpg");
    valo4Texture = loadImage("data\\valo4.jpg");
    blueshiftTexture = loadImage("data\\blueshift.jpg");
    rotiTexture = loadImage("data\\roti_2.jpg");
    creditsTexture = loadImage("data\\vorthcredits.jpg");

    glowLevels[0] = makeTarget(512, 256);
    for (int level = 1; level < kGlowLevelCount; ++level) {
        const int side = 512 >> level;
        glowLevels[level] = makeTarget(side, side);
    }
    auxTargetA = makeTarget(512, 256);
    auxTargetA->setRepeat(false);
    screenTarget = makeTarget(1024, 512);  // keeps repeat wrapping
    auxTargetB = makeTarget(512, 256);
    auxTargetB->setRepeat(false);
    for (TexturePtr& level : glowLevels) level->setRepeat(false);
    if (renderPath == RenderPath::Fast) bandPass = BandPass::create();
}

// The textures go with the content (the process ends right after); the meshes and the font are
// program-wide and stay.
DemoContent::~DemoContent() = default;

void DemoContent::setPerspective(float fov, float zNear, float zFar) {
    effects::setLetterboxPerspective(fov, zNear, zFar, window->width, window->height);
}

void DemoContent::setFog(const float* colour, float end) {
    effects::setLinearFog(colour, end);
}

void DemoContent::resetTextureState() {
    effects::resetTextureUnits(window->glActiveTextureARB);
}

void DemoContent::orbitCamera(float t) {
    effects::applyOrbitCamera(t);
}

}  // namespace content
