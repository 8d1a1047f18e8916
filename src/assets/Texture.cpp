#include "assets/Texture.h"

#include <GL/glu.h>

#include <cstddef>
#include <utility>

namespace assets {

namespace {

std::size_t byteCount(int width, int height, int bytesPerPixel) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
           static_cast<std::size_t>(bytesPerPixel);
}

// Rows in memory are tightly packed; GL's default unpack alignment of 4 would skew RGB rows whose
// length is not a multiple of 4, so uploads run with alignment 1 and restore the caller's setting.
class TightUnpack {
public:
    TightUnpack() {
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    ~TightUnpack() { glPopClientAttrib(); }
    TightUnpack(const TightUnpack&) = delete;
    TightUnpack& operator=(const TightUnpack&) = delete;
};

}  // namespace

Texture::Texture(int exponent)
    : pixels(new unsigned char[byteCount(1 << exponent, 1 << exponent, 4)]),
      format(GL_RGBA),
      sizeExponent(exponent),
      width(1 << exponent),
      height(1 << exponent),
      linearFilter(true),
      mipmapped(true),
      internalFormat(GL_RGBA) {
    glGenTextures(1, &glName);
}

Texture::Texture(int w, int h)
    : pixels(new unsigned char[byteCount(w, h, 4)]()),
      format(GL_RGBA),
      width(w),
      height(h),
      linearFilter(true),
      mipmapped(false),
      internalFormat(GL_RGB) {
    glGenTextures(1, &glName);
    upload();
}

Texture::Texture(std::unique_ptr<unsigned char[]> image, int w, int h, int bitsPerPixel,
                 int filterQuality)
    : pixels(std::move(image)),
      format(bitsPerPixel == 32 ? GL_RGBA : GL_RGB),
      width(w),
      height(h),
      linearFilter(filterQuality > 1),
      mipmapped(filterQuality > 2),
      internalFormat(bitsPerPixel == 32 ? GL_RGBA : GL_RGB) {
    glGenTextures(1, &glName);
    upload();
}

Texture::~Texture() {
    if (glName != 0) glDeleteTextures(1, &glName);
}

void Texture::upload() {
    TightUnpack unpack;
    glBindTexture(GL_TEXTURE_2D, glName);
    if (uploaded) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels.get());
        return;
    }
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), width, height, 0, format,
                 GL_UNSIGNED_BYTE, pixels.get());
    applyParameters();
    uploaded = true;
}

void Texture::bind() {
    if (uploaded) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, glName);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

void Texture::applyParameters() {
    bind();
    const GLint wrap = repeatWrap ? GL_REPEAT : GL_CLAMP;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    const GLint filter = linearFilter ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    if (mipmapped) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        TightUnpack unpack;
        gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(internalFormat), width, height, format,
                          GL_UNSIGNED_BYTE, pixels.get());
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    }
}

void Texture::scaleBrightness(float factor) {
    const int k = static_cast<int>(factor * 256.0f);
    const std::size_t n = byteCount(width, height, format == GL_RGBA ? 4 : 3);
    unsigned char* p = pixels.get();
    for (std::size_t i = 0; i < n; ++i) {
        p[i] = static_cast<unsigned char>((static_cast<long long>(p[i]) * k) >> 8);
    }
    upload();
}

void Texture::copyFromFrameBuffer() {
    bind();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
    finishCopy();
}

void Texture::copyFromFrameBuffer(int w, int h) {
    bind();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, w, h);
    finishCopy();
}

void Texture::copyFromFrameBufferCentred(int cx, int cy) {
    bind();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, cx - width / 2, cy - height / 2, width, height);
    finishCopy();
}

void Texture::finishCopy() {
    if (mipmapped) {
        mipmapped = false;
        applyParameters();
    }
}

void Texture::setRepeat(bool flag) {
    repeatWrap = flag;
    if (!flag) applyParameters();
}

}  // namespace assets
