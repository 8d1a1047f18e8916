// The backdrop: a star-textured sphere seen from inside, its clear colour and the frame's fog.
#include <GL/gl.h>
#include <GL/glext.h>

#include "content/DemoContent.h"
#include "content/Timeline.h"

namespace content {

namespace {

// The sphere is drawn only before the closing fade; from then on the scene only clears.
constexpr float kSceneEnd = 576.0f;

}  // namespace

void DemoContent::drawStarSphere(int ms) {
    const float t = sceneTime(ms);
    const StarSphereTone tone = starSphereToneAt(t);

    // Grey 16 (the white section) is clamped to white by GL.
    glClearColor(tone.grey, tone.grey, tone.grey, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    const float fogGrey = 0.325f * tone.grey;
    const float fogColour[4] = {fogGrey, fogGrey, fogGrey, 0.0f};
    setFog(fogColour, 100000.0f * tone.fog);

    setStarSphereView(ms);

    glPushMatrix();
    orbitCamera(t);
    if (t < kSceneEnd && starsTexture) {
        glPushMatrix();
        glScalef(50.0f, 50.0f, 50.0f);
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
        // The fast path replays the list compiled at load: the same vertices, without the
        // per-vertex calls of immediate mode.
        if (renderPath == RenderPath::Faithful)
            invsphereObject.draw();
        else
            invsphereObject.callDisplayList();
        glPopMatrix();
    }
    glPopMatrix();

    resetTextureState();
}

void DemoContent::setStarSphereView(int ms) {
    setPerspective(starSphereFov(sceneTime(ms)), 0.1f, 30000.0f);

    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_LIGHTING);

    if (window->glActiveTextureARB) window->glActiveTextureARB(GL_TEXTURE0_ARB);
    if (starsTexture) starsTexture->bind();
}

}  // namespace content
