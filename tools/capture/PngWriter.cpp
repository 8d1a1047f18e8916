#include "PngWriter.h"

#include <png.h>

#include <cstring>

namespace capture {

bool writePng(const std::string& path, const RgbImage& image, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height * 3) {
        *error = path + ": no picture to write";
        return false;
    }
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
        *error = path + ": cannot write PNG: " + png.message;
        png_image_free(&png);  // a file left half written has already been removed by libpng
        return false;
    }
    return true;
}

bool readPng(const std::string& path, RgbImage* image, std::string* error) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        *error = path + ": cannot read PNG: " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGB;
    image->width = static_cast<int>(png.width);
    image->height = static_cast<int>(png.height);
    image->pixels.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image->pixels.data(), 0, nullptr)) {
        *error = path + ": cannot read PNG: " + png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

}  // namespace capture
