// Object3D's drawing, display lists and deformers. Nothing here sets GL state beyond the
// primitives it emits, checks anything or reports anything.
#include <cmath>

#include "assets/Object3D.h"

namespace assets {

void blendNormal(const float* faceNormal, const float* vertexNormal, float a, float* out) {
    float m[3];
    for (int k = 0; k < 3; ++k) m[k] = (1.0f - a) * faceNormal[k] - a * vertexNormal[k];
    const float length = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    if (length == 0.0f) {
        out[0] = 0.0f;
        out[1] = 0.0f;
        out[2] = 1.0f;
        return;
    }
    const float inverse = 1.0f / length;
    for (int k = 0; k < 3; ++k) out[k] = m[k] * inverse;
}

void Object3D::draw() const {
    // Inside out, corners 1 and 2 swap (with their texture coordinates) and normals turn round.
    const int order[3] = {0, insideOut ? 2 : 1, insideOut ? 1 : 2};
    const float sign = insideOut ? -1.0f : 1.0f;
    glBegin(GL_TRIANGLES);
    for (const Object3DFace& face : faces) {
        for (int k : order) {
            const int v = face.corners[k];
            const float* n = &vertexNormals[3 * v];
            glTexCoord2f(face.texCoords[2 * k] + uOffset, face.texCoords[2 * k + 1] + vOffset);
            glNormal3f(sign * n[0], sign * n[1], sign * n[2]);
            glVertex3fv(&positions[3 * v]);
        }
    }
    glEnd();
}

namespace {

// A new display list holding what body emits; the list it replaces is kept.
template <typename Body>
GLuint compileList(Body body) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    body();
    glEndList();
    return list;
}

}  // namespace

void Object3D::buildDisplayList() {
    displayList = compileList([this] { draw(); });
}

void Object3D::callDisplayList() const { glCallList(displayList); }

void Object3D::drawPoints() const {
    glBegin(GL_POINTS);
    for (int i = 0; i < vertexCount; ++i) glVertex3fv(&positions[3 * i]);
    glEnd();
}

void Object3D::drawFlat() const {
    glBegin(GL_TRIANGLES);
    for (int j = 0; j < faceCount; ++j) {
        glNormal3fv(&faceNormals[3 * j]);
        for (int corner : faces[j].corners) glVertex3fv(&positions[3 * corner]);
    }
    glEnd();
}

void Object3D::buildFlatList() {
    displayList = compileList([this] { drawFlat(); });
}

void Object3D::buildBlendedNormalList(float a) {
    displayList = compileList([this, a] { drawBlended(a); });
}

void Object3D::drawBlended(float a) const {
    glBegin(GL_TRIANGLES);
    for (int j = 0; j < faceCount; ++j) {
        const Object3DFace& face = faces[j];
        for (int k = 0; k < 3; ++k) {
            const int v = face.corners[k];
            float n[3];
            blendNormal(&baseFaceNormals[3 * j], &vertexNormals[3 * v], a, n);
            glTexCoord2f(face.texCoords[2 * k] + uOffset, face.texCoords[2 * k + 1] + vOffset);
            glNormal3fv(n);
            glVertex3fv(&positions[3 * v]);
        }
    }
    glEnd();
}

void Object3D::scaleTexCoords(float su, float sv) {
    for (Object3DFace& face : faces) {
        for (int k = 0; k < 6; k += 2) {
            face.texCoords[k] *= su;
            face.texCoords[k + 1] *= sv;
        }
    }
    buildDisplayList();
}

namespace {

// P += sin(phase(B) / scale + time * 0.001) * amount * N for every vertex.
template <typename Phase>
void ripple(Object3D& object, float time, float scale, float amount, Phase phase) {
    for (int i = 0; i < object.vertexCount; ++i) {
        const float* b = &object.basePositions[3 * i];
        const float* n = &object.vertexNormals[3 * i];
        float* p = &object.positions[3 * i];
        const float d = std::sin(phase(b) * (1.0f / scale) + time * 0.001f) * amount;
        p[0] += d * n[0];
        p[1] += d * n[1];
        p[2] += d * n[2];
    }
}

float cube(float x) { return x * x * x; }

}  // namespace

void Object3D::rippleSum(float time, float scale, float amount) {
    ripple(*this, time, scale, amount, [](const float* b) { return b[0] + b[1] - b[2]; });
}

void Object3D::rippleMixed(float time, float scale, float amount) {
    ripple(*this, time, scale, amount, [](const float* b) { return b[0] - b[1] + b[2]; });
}

void Object3D::pulse(float time, float scale, float amount) {
    for (int i = 0; i < vertexCount; ++i) {
        const float* b = &basePositions[3 * i];
        const float* n = &vertexNormals[3 * i];
        float* p = &positions[3 * i];
        const float q = b[0] - b[1] + b[2];
        const float fx = 1.0f + std::sin(q * (0.8f / scale) - time * 0.0007f);
        const float fy = 1.0f + std::cos(time * 0.001f + q * (1.0f / scale));
        const float fz = 1.0f - std::sin(q * (1.3f / scale) - time * 0.0015f);
        p[0] += cube(fx) * n[0] * amount;
        p[1] += cube(fy) * n[1] * amount;
        p[2] += cube(fz) * n[2] * amount;
    }
}

void Object3D::wobble(float time, float scale, float amount) {
    // Axis by axis from the working position itself: each axis sees the ones already moved.
    for (int i = 0; i < vertexCount; ++i) {
        const float* n = &vertexNormals[3 * i];
        float* p = &positions[3 * i];
        const float sx = 0.13f * p[0] + 0.15f * p[1] - 0.16f * p[2] + 4.3f * n[0];
        p[0] += std::sin(sx * (1.03f / scale) + time * 0.00095f) * n[0] * amount;
        const float sy = 0.14f * p[0] - 0.1f * p[1] - 0.18f * p[2] + 4.1f * n[1];
        p[1] += std::sin(sy * (1.12f / scale) + time * 0.0013f) * n[1] * amount;
        const float sz = -0.152f * p[0] + 0.122f * p[1] + 0.11f * p[2] + 4.7f * n[2];
        p[2] += std::sin(sz * (0.95f / scale) + time * 0.0019f) * n[2] * amount;
    }
}

}  // namespace assets
