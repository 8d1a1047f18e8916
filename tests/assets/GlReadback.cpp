#include "GlReadback.h"

#include <stdexcept>

namespace assettest {

std::vector<std::uint8_t> textureLevel(GLuint name, GLenum format, GLint level, GLint* width, GLint* height) {
    const GLint w = textureLevelParameter(name, level, GL_TEXTURE_WIDTH);
    const GLint h = textureLevelParameter(name, level, GL_TEXTURE_HEIGHT);
    if (width != nullptr) *width = w;
    if (height != nullptr) *height = h;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h * (format == GL_RGBA ? 4 : 3));
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, out.data());
    glPopClientAttrib();
    return out;
}

GLint textureParameter(GLuint name, GLenum which) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
    return value;
}

GLint textureLevelParameter(GLuint name, GLint level, GLenum which) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, which, &value);
    return value;
}

void setPixelSpace() {
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 640.0, 0.0, 480.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_TEXTURE_2D);
}

Feedback captureFeedback(const std::function<void()>& draw, bool normals) {
    // Per vertex in GL_3D_COLOR_TEXTURE: x, y, z, the four colour values, s, t, r, q.
    constexpr int kVertexFloats = 11;
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    if (normals) {
        // Texture coordinates are generated only for a unit that samples a complete texture.
        static GLuint unit = 0;
        if (unit == 0) {
            const GLubyte texel[3] = {255, 255, 255};
            glGenTextures(1, &unit);
            glBindTexture(GL_TEXTURE_2D, unit);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
        }
        glBindTexture(GL_TEXTURE_2D, unit);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_NORMALIZE);
        for (GLenum coord : {GL_S, GL_T, GL_R}) glTexGeni(coord, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
        for (GLenum gen : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R}) glEnable(gen);
    }
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    for (GLenum gen : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R}) glDisable(gen);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_NORMALIZE);
    if (count < 0) throw std::runtime_error("feedback buffer overflow");

    Feedback result;
    auto vertexAt = [&buffer](GLint i) {
        FeedbackVertex v;
        for (int k = 0; k < 3; ++k) v.position[k] = buffer[i + k];
        for (int k = 0; k < 4; ++k) v.texCoord[k] = buffer[i + 7 + k];
        return v;
    };
    for (GLint i = 0; i < count;) {
        const auto token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const auto n = static_cast<GLint>(buffer[i++]);
            result.polygonSizes.push_back(n);
            for (GLint k = 0; k < n; ++k, i += kVertexFloats) result.triangleCorners.push_back(vertexAt(i));
        } else if (token == GL_POINT_TOKEN) {
            result.points.push_back(vertexAt(i));
            i += kVertexFloats;
        } else {
            ++result.otherTokens;
            break;
        }
    }
    return result;
}

}  // namespace assettest
