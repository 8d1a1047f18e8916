#include "GlReadback.h"

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

}  // namespace assettest
