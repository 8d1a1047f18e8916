#pragma once
// Reading GL state back in the asset tests.
#include <GL/gl.h>

#include <cstdint>
#include <vector>

namespace assettest {

// Level `level` of the 2D texture `name` as tightly packed bytes (3 per texel for GL_RGB, 4 for
// GL_RGBA), at the size GL holds it (GLU may have rescaled level 0 of a mipmapped texture).
std::vector<std::uint8_t> textureLevel(GLuint name, GLenum format, GLint level = 0, GLint* width = nullptr,
                                       GLint* height = nullptr);

// One texture parameter, or one level parameter, of the 2D texture `name`.
GLint textureParameter(GLuint name, GLenum which);
GLint textureLevelParameter(GLuint name, GLint level, GLenum which);

}  // namespace assettest
