#include "assets/JpegLoader.h"

#include <climits>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <new>
#include <utility>

#include <jpeglib.h>
#include <jerror.h>

#include "assets/FilePath.h"
#include "platform/FatalError.h"
#include "platform/FileAccess.h"

namespace assets {

namespace {

struct JpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

// Warnings (level -1) mostly mean corrupt or truncated data that the decoder would paper over
// with grey (JWRN_JPEG_EOF, JWRN_HIT_MARKER, bad Huffman codes, ...): they fail the decode. Two
// are left out, as the picture decodes whole: bytes skipped before a marker (some writers pad
// between segments) and a JFIF revision newer than the library knows. Trace messages
// (level >= 0) are dropped.
void onJpegMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    const int code = info->err->msg_code;
    if (code == JWRN_EXTRANEOUS_DATA || code == JWRN_JFIF_MAJOR) return;
    onJpegError(info);
}

// Where the compressed bytes come from: an open file, or else a buffer read in place (no
// fmemopen: not every C library has it).
struct Source {
    std::FILE* file = nullptr;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// Decodes the source into a new width x height x 3 buffer, or returns null. The header is held
// to the budget before jpeg_start_decompress, which allocates the decoder's own buffers (for a
// progressive file, coefficients for the whole picture), and the decoder's memory is capped as
// well. No object with a destructor lives in this function, so the decoder's error return through
// longjmp skips nothing.
unsigned char* decodeSource(const Source& source, int& width, int& height, std::size_t maxBytes) {
    jpeg_decompress_struct info;
    JpegErrorManager errors;
    unsigned char* volatile buffer = nullptr;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    errors.base.emit_message = onJpegMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        delete[] buffer;
        return nullptr;
    }
    jpeg_create_decompress(&info);
    if (source.file != nullptr)
        jpeg_stdio_src(&info, source.file);
    else
        jpeg_mem_src(&info, source.data, static_cast<unsigned long>(source.size));
    jpeg_read_header(&info, TRUE);
    const J_COLOR_SPACE space = info.jpeg_color_space;
    if ((space != JCS_GRAYSCALE && space != JCS_YCbCr && space != JCS_RGB) ||
        !imageFitsBudget(info.image_width, info.image_height, 3, maxBytes)) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    // At most 3 components of 2-byte coefficients per pixel, with room for the row buffers:
    // beyond this the library fails (no backing store) instead of allocating.
    info.mem->max_memory_to_use = static_cast<long>(2 * maxBytes + (std::size_t{32} << 20));
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const std::size_t rowBytes = static_cast<std::size_t>(info.output_width) * 3;
    if (info.output_components != 3 || rowBytes == 0) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    buffer = new (std::nothrow) unsigned char[rowBytes * info.output_height];
    if (buffer == nullptr) {
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = buffer + rowBytes * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    jpeg_destroy_decompress(&info);
    return buffer;
}

// The out-arguments of decodeJpegFile and decodeJpegMemory from a source, whose file is closed.
// A source with neither a file nor a byte (a file that did not open, an empty buffer) is not a
// JPEG.
int decodeStream(const Source& source, int& width, int& height, std::unique_ptr<unsigned char[]>& pixels,
                 std::size_t maxBytes) {
    width = 0;
    height = 0;
    pixels.reset();
    if (source.file == nullptr && (source.data == nullptr || source.size == 0 || source.size > ULONG_MAX)) return 0;
    int w = 0;
    int h = 0;
    unsigned char* decoded = decodeSource(source, w, h, maxBytes);
    if (source.file != nullptr) std::fclose(source.file);
    if (decoded == nullptr) return 0;
    pixels.reset(decoded);
    width = w;
    height = h;
    return 1;
}

}  // namespace

int decodeJpegFile(const char* path, int& width, int& height, std::unique_ptr<unsigned char[]>& pixels) {
    return decodeStream(Source{platform::openFile(hostPath(path), "rb")}, width, height, pixels, kMaxImageBytes);
}

int decodeJpegMemory(const unsigned char* data, std::size_t size, int& width, int& height,
                     std::unique_ptr<unsigned char[]>& pixels, std::size_t maxBytes) {
    return decodeStream(Source{nullptr, data, size}, width, height, pixels, maxBytes);
}

std::unique_ptr<Texture> loadJpegTexture(const std::string& path, int filterQuality) {
    int width = 0;
    int height = 0;
    std::unique_ptr<unsigned char[]> pixels;
    if (!decodeJpegFile(path.c_str(), width, height, pixels)) {
        platform::reportFatalError(path + " error loading jpeg.");
        return nullptr;
    }
    return std::make_unique<Texture>(std::move(pixels), width, height, 24, filterQuality);
}

std::unique_ptr<Texture> loadJpegTextureTiled(const std::string& path, int filterQuality) {
    int width = 0;
    int height = 0;
    std::unique_ptr<unsigned char[]> pixels;
    if (!decodeJpegFile(path.c_str(), width, height, pixels)) return nullptr;

    const std::size_t pixelCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::size_t bright = 0;
    for (std::size_t i = 0; i < pixelCount; ++i) {
        const unsigned char* p = pixels.get() + i * 3;
        if (p[0] > 64 || p[2] > 64) ++bright;
    }
    // Each side: the smallest power of two not below the picture's, at most 512.
    int w = 512;
    while (w / 2 >= width) w /= 2;
    int h = 512;
    while (h / 2 >= height) h /= 2;
    if (bright < 64 || w < 64 || h < 64) return nullptr;

    std::unique_ptr<unsigned char[]> tiled(new (std::nothrow) unsigned char[static_cast<std::size_t>(w) * h * 3]);
    if (!tiled) return nullptr;
    for (int k = 0; k < h; ++k) {
        const unsigned char* sourceRow = pixels.get() + static_cast<std::size_t>(k % height) * width * 3;
        unsigned char* targetRow = tiled.get() + static_cast<std::size_t>(k) * w * 3;
        for (int l = 0; l < w; ++l) {
            const unsigned char* s = sourceRow + static_cast<std::size_t>(l % width) * 3;
            targetRow[l * 3 + 0] = s[0];
            targetRow[l * 3 + 1] = s[1];
            targetRow[l * 3 + 2] = s[2];
        }
    }
    return std::make_unique<Texture>(std::move(tiled), w, h, 24, filterQuality);
}

}  // namespace assets
