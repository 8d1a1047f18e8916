#pragma once
// Everything the show draws, loaded once before the first frame, and the frame composer.
//
// The constructor loads the two program-wide meshes, the outline font, fourteen JPEG textures
// and twelve render targets, in a fixed order, with the window's GL context current. Afterwards
// only the render targets' pixels change (frame-buffer copies, every frame). A texture whose
// file failed to load stays empty (null): its failure was reported by the loader, and every draw
// that would use it is skipped.
#include <array>
#include <functional>
#include <memory>

#include "assets/Object3D.h"
#include "assets/OutlineFont.h"
#include "assets/Texture.h"
#include "content/RenderPath.h"
#include "platform/DrawingSurface.h"

namespace content {

class BandPass;

// Program-wide objects the constructor fills; they outlive the content.
extern assets::Object3D ballObject;       // "data\ballo.ob3", drawn by the core scene
extern assets::Object3D invsphereObject;  // "data\invsphere.ob3", drawn by the star sphere scene
extern std::unique_ptr<assets::OutlineFont> outlineFont;  // "arial", extrusion 0.25; not drawn

class DemoContent {
public:
    // Loads every resource; the window's GL context must be current on this thread. A file that
    // cannot be loaded is reported (once, by its loader) and loading goes on. `path` is kept for
    // the content's lifetime (content/RenderPath.h; the program chooses it with
    // renderPathAtStartUp); the faithful path draws every call the show describes.
    explicit DemoContent(platform::DrawingSurface* window, RenderPath path = RenderPath::Faithful);
    virtual ~DemoContent();
    DemoContent(const DemoContent&) = delete;
    DemoContent& operator=(const DemoContent&) = delete;

    // Draws the complete frame for music time ms (milliseconds, may be negative): the scenes
    // into the 512 x 256 working area, the glow chain, the letterbox band, the lens warp, logo
    // and credits. Leaves blending on (source alpha, one), the letterbox viewport, depth test and
    // writes off and the last layer's colour.
    void drawFrame(int ms);

    // Backdrop: clears to the timeline's grey, sets the frame's fog and draws the star sphere
    // from inside. Leaves its projection, an identity model-view, fog on, depth test and culling
    // on, blending off, texture unit 0 active with texturing off.
    void drawStarSphere(int ms);
    // The star sphere's perspective (field of view swelling with the timeline) and render state;
    // binds starsTexture on unit 0.
    void setStarSphereView(int ms);
    // Foreground: ball, ring bands, sprite families and the particle swarm, through the orbiting
    // camera and the projection the star sphere left. Leaves blending off, depth test on, depth
    // writes off, culling off, the model-view stack at its entry depth.
    void drawCoreScene(int ms);

    // Set-up shared by the scenes (effects/SceneSetup.h has the state each leaves).
    void setPerspective(float fov, float zNear, float zFar);
    void setFog(const float* colour, float end);
    void resetTextureState();
    void orbitCamera(float t);

    using TexturePtr = std::unique_ptr<assets::Texture>;
    static constexpr int kGlowLevelCount = 9;

    // Declaration order is the show's field order.
    TexturePtr valo2cTexture;    // loaded, not drawn
    TexturePtr darkpartTexture;  // loaded, not drawn
    // Level 0 is 512 x 256, levels 1 to 8 squares of 256 down to 2 (level 8 is never filled).
    std::array<TexturePtr, kGlowLevelCount> glowLevels;
    TexturePtr valo2cTexture2;   // a second texture of the same file; not drawn
    TexturePtr auxTargetA;       // 512 x 256 render target; not drawn
    TexturePtr fireTexture;      // not drawn
    TexturePtr fire2d2bTexture;
    TexturePtr firetwirlTexture;
    TexturePtr darkpartTexture2;
    TexturePtr logoTexture;
    TexturePtr partiTexture;
    TexturePtr starsTexture;
    TexturePtr valo4Texture;
    TexturePtr blueshiftTexture;
    TexturePtr rotiTexture;
    TexturePtr creditsTexture;
    TexturePtr screenTarget;     // 1024 x 512, repeating; holds the 640 x 272 band at its lower left
    TexturePtr auxTargetB;       // 512 x 256 render target; not drawn
    platform::DrawingSurface* window = nullptr;  // borrowed: the window drawn into
    const RenderPath renderPath;      // fixed at construction

    // Called after each of the frame's five passes with its number (1 to 5); empty in the show.
    // The frame-time benchmark times the passes with it.
    std::function<void(int pass)> passDone;

private:
    // The frame composer's passes, in order.
    struct FrameTimes;
    void renderScenes(int ms, const FrameTimes& times);
    void buildGlowChain();
    void composeBand(const FrameTimes& times);
    void warpBand(const FrameTimes& times);
    void overlayTitles(const FrameTimes& times);

    // The band in a few GLSL draws; made only on the fast path when the GL offers GLSL.
    std::unique_ptr<BandPass> bandPass;
};

}  // namespace content
