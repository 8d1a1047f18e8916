#include "Image.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace contentgen {

void Image::addWrapped(int x, int y, Rgb c) {
    x %= width_;
    if (x < 0) x += width_;
    y %= height_;
    if (y < 0) y += height_;
    Rgb& p = at(x, y);
    p = p + c;
}

Mask blur(const Mask& in, float sigma) {
    const int radius = static_cast<int>(std::ceil(sigma * 3.0f));
    std::vector<float> kernel(2 * radius + 1);
    float sum = 0.0f;
    for (int i = -radius; i <= radius; ++i) {
        kernel[i + radius] = std::exp(-0.5f * i * i / (sigma * sigma));
        sum += kernel[i + radius];
    }
    for (float& k : kernel) k /= sum;

    Mask tmp(in.width, in.height), out(in.width, in.height);
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            float acc = 0.0f;
            for (int i = -radius; i <= radius; ++i) {
                const int sx = std::min(std::max(x + i, 0), in.width - 1);
                acc += kernel[i + radius] * in.at(sx, y);
            }
            tmp.at(x, y) = acc;
        }
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            float acc = 0.0f;
            for (int i = -radius; i <= radius; ++i) {
                const int sy = std::min(std::max(y + i, 0), in.height - 1);
                acc += kernel[i + radius] * tmp.at(x, sy);
            }
            out.at(x, y) = acc;
        }
    return out;
}

namespace {

struct JpegErrorExit {
    jpeg_error_mgr base;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jumpOnJpegError(j_common_ptr info) {
    JpegErrorExit* err = reinterpret_cast<JpegErrorExit*>(info->err);
    (*info->err->format_message)(info, err->message);
    longjmp(err->jump, 1);
}

uint8_t toByte(float v) {
    const float scaled = v * 255.0f + 0.5f;
    if (!(scaled > 0.0f)) return 0;
    if (scaled >= 255.0f) return 255;
    return static_cast<uint8_t>(scaled);
}

// The libjpeg part, kept free of C++ objects because an error leaves it through longjmp.
// Returns false with err->message set on failure; *buffer is malloc'ed by libjpeg.
bool compress(const uint8_t* rgb, int width, int height, int quality, bool fullChroma, JpegErrorExit* err,
              unsigned char** buffer, unsigned long* size) {
    jpeg_compress_struct info;
    info.err = jpeg_std_error(&err->base);
    err->base.error_exit = jumpOnJpegError;
    if (setjmp(err->jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.dct_method = JDCT_ISLOW;
    info.optimize_coding = TRUE;
    info.density_unit = 0;
    info.X_density = 1;
    info.Y_density = 1;
    if (fullChroma) {
        for (int c = 0; c < 3; ++c) {
            info.comp_info[c].h_samp_factor = 1;
            info.comp_info[c].v_samp_factor = 1;
        }
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(info.next_scanline) * width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::vector<uint8_t> encodeJpeg(const Image& image, int quality, bool fullChroma) {
    std::vector<uint8_t> rgb(static_cast<size_t>(image.width()) * image.height() * 3);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const Rgb& p = image.at(x, y);
            uint8_t* d = &rgb[(static_cast<size_t>(y) * image.width() + x) * 3];
            d[0] = toByte(p.r);
            d[1] = toByte(p.g);
            d[2] = toByte(p.b);
        }
    JpegErrorExit err;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = compress(rgb.data(), image.width(), image.height(), quality, fullChroma, &err, &buffer, &size);
    std::vector<uint8_t> out;
    if (ok) out.assign(buffer, buffer + size);
    std::free(buffer);
    if (!ok) throw std::runtime_error(std::string("JPEG encoding failed: ") + err.message);
    return out;
}

void writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) throw std::runtime_error(path + ": cannot create file: " + std::strerror(errno));
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::remove(temp.c_str());
        throw std::runtime_error(path + ": write failed: " + std::strerror(errno));
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temp.c_str());
        throw std::runtime_error(path + ": cannot move into place: " + reason);
    }
}

}  // namespace contentgen
