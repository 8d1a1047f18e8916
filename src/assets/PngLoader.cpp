#include "assets/PngLoader.h"

#include <cstddef>
#include <cstdio>
#include <new>
#include <utility>

#include <png.h>

#include "app/FatalError.h"
#include "assets/FilePath.h"

namespace assets {

namespace {

// The largest side accepted; beyond it the header is rejected before anything is allocated.
constexpr png_uint_32 kMaxSide = 65535;

[[noreturn]] void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onPngWarning(png_structp, png_const_charp) {}

// Decodes the open file into a new width x height x 4 buffer, or returns null. No object with a
// destructor lives in this function, so libpng's error return through longjmp skips nothing; any
// error, before or after the header, discards the partly decoded picture.
unsigned char* decodeOpenFile(std::FILE* file, png_uint_32& width, png_uint_32& height) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    if (png == nullptr) return nullptr;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }
    unsigned char* volatile pixels = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        delete[] pixels;
        return nullptr;
    }
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_init_io(png, file);
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);

    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_gamma(png, static_cast<double>(2.2f), 0.5);
    png_set_swap(png);
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    if (png_get_rowbytes(png, info) != rowBytes) png_error(png, "unexpected row layout");
    pixels = new (std::nothrow) unsigned char[rowBytes * height];
    if (pixels == nullptr) png_error(png, "out of memory");
    // Each pass fills in its pixels over the rows the earlier passes left, so the rows are read
    // in place: an interlaced picture is complete after the last pass.
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, pixels + rowBytes * y, nullptr);
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return pixels;
}

}  // namespace

bool decodePngFile(const char* path, int& width, int& height, std::unique_ptr<unsigned char[]>& pixels) {
    std::FILE* file = std::fopen(hostPath(path).c_str(), "rb");
    if (file == nullptr) return false;
    png_uint_32 w = 0;
    png_uint_32 h = 0;
    unsigned char* decoded = decodeOpenFile(file, w, h);
    std::fclose(file);
    if (decoded == nullptr) return false;
    pixels.reset(decoded);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

std::unique_ptr<Texture> loadPngTexture(const std::string& path, int filterQuality) {
    int width = -1;
    int height = 0;
    std::unique_ptr<unsigned char[]> pixels;
    decodePngFile(path.c_str(), width, height, pixels);
    if (width == -1) {
        app::reportFatalError(path + " error loading png.");
        return nullptr;
    }
    return std::make_unique<Texture>(std::move(pixels), width, height, 32, filterQuality);
}

}  // namespace assets
