#pragma once
// The one wrapper around an OpenGL 2D texture object: a copy of the pixels in memory, the size,
// the GL name and three sampling choices (linear filtering, mipmaps, repeat wrapping).
//
// Every operation needs the GL context current on the calling thread. None checks a GL error or
// reports anything: a size the driver does not take draws as the driver decides.
//
// GL state left behind: a freshly constructed texture (render target or image) leaves 2D
// texturing DISABLED and itself bound, because its first applyParameters runs before `uploaded`
// is set. Callers enable texturing through bind().
#include <GL/gl.h>

#include <memory>

namespace assets {

class Texture {
public:
    // Power-of-two texture, side 2^sizeExponent, RGBA, linear and mipmapped; not uploaded (its
    // pixels are not cleared: fill them, then call upload).
    explicit Texture(int sizeExponent);

    // Render target: width x height, zero pixels (RGBA pixel storage, RGB internal format),
    // linear, not mipmapped, repeating; uploaded at once.
    Texture(int width, int height);

    // Image texture adopting `pixels` (tightly packed rows, first row is t = 0). bitsPerPixel 32
    // gives RGBA, any other value RGB (3 bytes per pixel). filterQuality: 1 or less nearest,
    // 2 linear, 3 or more linear with mipmaps (built by GLU). Uploaded at once.
    Texture(std::unique_ptr<unsigned char[]> pixels, int width, int height, int bitsPerPixel,
            int filterQuality);

    // The program keeps its textures until it ends; destroying one frees its pixels and deletes
    // its GL name (a no-op once the context is gone).
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Sends `pixels` to GL. The first upload allocates level 0 (glTexImage2D) and applies the
    // parameters (building mipmaps when mipmapped); later ones replace level 0 only.
    void upload();

    // Uploaded: enables GL_TEXTURE_2D and binds the name. Not uploaded: disables GL_TEXTURE_2D
    // and binds nothing.
    void bind();

    // bind, then wrap S/T (GL_REPEAT or GL_CLAMP), MAG filter, MIN filter; when mipmapped also
    // builds every mipmap level from `pixels` with gluBuild2DMipmaps.
    void applyParameters();

    // Every pixel byte (alpha included) becomes (byte * int(factor * 256)) >> 8, low 8 bits
    // kept: no saturation, so factors above 1 wrap. Then re-uploads level 0.
    void scaleBrightness(float factor);

    // Frame-buffer copies into level 0 from the current read buffer. Each binds first; a copy
    // into a mipmapped texture turns mipmapping off for good (min filter becomes GL_LINEAR or
    // GL_NEAREST) instead of rebuilding the levels.
    void copyFromFrameBuffer();                     // lower-left width x height
    void copyFromFrameBuffer(int w, int h);         // lower-left w x h into the lower left
    void copyFromFrameBufferCentred(int cx, int cy);  // width x height centred on (cx, cy)

    // false clamps at once (applyParameters); true only takes effect at the next applyParameters.
    void setRepeat(bool flag);

    std::unique_ptr<unsigned char[]> pixels;  // 3 or 4 bytes per pixel as `format` says
    GLenum format = GL_RGBA;                  // pixel format of `pixels`
    int sizeExponent = 0;                     // set by the power-of-two constructor only
    int width = 0;
    int height = 0;
    bool uploaded = false;                    // true once glTexImage2D has been made
    GLuint glName = 0;
    bool linearFilter = true;
    bool mipmapped = false;                   // only ever goes from true to false
    bool repeatWrap = true;
    GLenum internalFormat = GL_RGBA;

private:
    void finishCopy();
};

}  // namespace assets
