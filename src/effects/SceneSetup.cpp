#include "effects/SceneSetup.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>

#include "effects/Orbit.h"

namespace effects {

double letterboxAspect(int width, int height) {
    return static_cast<double>(width) / std::max(height - kLetterboxRows, 1);
}

void setLetterboxPerspective(float fov, float zNear, float zFar, int width, int height) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fov, letterboxAspect(width, height), zNear, zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setLinearFog(const float colour[4], float end) {
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, colour);
    glFogf(GL_FOG_DENSITY, 1.0f);
    glHint(GL_FOG_HINT, GL_DONT_CARE);
    glFogf(GL_FOG_START, 1.0f);
    glFogf(GL_FOG_END, end);
    glEnable(GL_FOG);
}

void resetTextureUnits(ActiveTextureProc activeTexture) {
    if (activeTexture) {
        activeTexture(GL_TEXTURE1_ARB);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glDisable(GL_TEXTURE_2D);
        activeTexture(GL_TEXTURE0_ARB);
    }
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

void applyOrbitCamera(float t) {
    const Vec3d eye = orbitEye(t);
    gluLookAt(eye.x, eye.y, eye.z, 0.0, 0.0, -150.0, 0.0, 1.0, 0.0);
    glRotatef(orbitTilt(t), 1.0f, 0.5f, 0.0f);
}

}  // namespace effects
