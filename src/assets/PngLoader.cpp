#include "assets/PngLoader.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <png.h>

#include "assets/FilePath.h"
#include "platform/FatalError.h"
#include "platform/FileAccess.h"

namespace assets {

namespace {

// The longest chunk, other than image data, that libpng may allocate for or inflate into (text,
// ICC profile, unknown chunks), and the most ancillary chunks it keeps. Without them a short file
// whose text chunk declares 1.6 GB makes libpng allocate that much before finding the file short.
// libpng only warns about a chunk beyond the limit and goes on to allocate it, so its allocator
// also refuses any single block above twice the limit (nothing libpng needs for a picture within
// the budget comes near: its largest row is 128 KiB), and the warning that follows a refusal
// fails the file.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{8} << 20;
constexpr png_alloc_size_t kMaxLibpngBlock = 2 * kMaxChunkBytes;
constexpr png_uint_32 kMaxCachedChunks = 128;

// The allocator's state, libpng's mem_ptr.
struct LibpngMemory {
    bool refused = false;
};

png_voidp limitedMalloc(png_structp png, png_alloc_size_t size) {
    if (size <= kMaxLibpngBlock) return std::malloc(size);
    static_cast<LibpngMemory*>(png_get_mem_ptr(png))->refused = true;
    return nullptr;
}
void libpngFree(png_structp, png_voidp block) { std::free(block); }

[[noreturn]] void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onPngWarning(png_structp png, png_const_charp) {
    if (static_cast<LibpngMemory*>(png_get_mem_ptr(png))->refused) png_error(png, "block beyond the limit");
}

// Where the compressed bytes come from: an open file, or else a buffer read in place (no
// fmemopen: not every C library has it); `size` counts down as the bytes are read.
struct Source {
    std::FILE* file = nullptr;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// libpng's reader over a buffer: a read past its end is an error, as a short file read is.
void readFromBuffer(png_structp png, png_bytep out, png_size_t count) {
    Source& source = *static_cast<Source*>(png_get_io_ptr(png));
    if (count > source.size) png_error(png, "read past the end");
    std::memcpy(out, source.data, count);
    source.data += count;
    source.size -= count;
}

// Decodes the source into a new width x height x 4 buffer, or returns null. No object with a
// destructor lives in this function, so libpng's error return through longjmp skips nothing; any
// error, before or after the header, discards the partly decoded picture.
unsigned char* decodeSource(Source& source, png_uint_32& width, png_uint_32& height, std::size_t maxBytes) {
    LibpngMemory memory;
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning,
                                                 &memory, limitedMalloc, libpngFree);
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
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, kMaxCachedChunks);
    if (source.file != nullptr)
        png_init_io(png, source.file);
    else
        png_set_read_fn(png, &source, &readFromBuffer);
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    if (!imageFitsBudget(width, height, 4, maxBytes)) png_error(png, "picture beyond the budget");

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

// The out-arguments of decodePngFile and decodePngMemory from a source, whose file is closed. A
// source with neither a file nor a byte (a file that did not open, an empty buffer) is not a PNG.
bool decodeStream(Source source, int& width, int& height, std::unique_ptr<unsigned char[]>& pixels,
                  std::size_t maxBytes) {
    if (source.file == nullptr && (source.data == nullptr || source.size == 0)) return false;
    png_uint_32 w = 0;
    png_uint_32 h = 0;
    unsigned char* decoded = decodeSource(source, w, h, maxBytes);
    if (source.file != nullptr) std::fclose(source.file);
    if (decoded == nullptr) return false;
    pixels.reset(decoded);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

}  // namespace

bool decodePngFile(const char* path, int& width, int& height, std::unique_ptr<unsigned char[]>& pixels) {
    return decodeStream(Source{platform::openFile(hostPath(path), "rb")}, width, height, pixels, kMaxImageBytes);
}

bool decodePngMemory(const unsigned char* data, std::size_t size, int& width, int& height,
                     std::unique_ptr<unsigned char[]>& pixels, std::size_t maxBytes) {
    return decodeStream(Source{nullptr, data, size}, width, height, pixels, maxBytes);
}

std::unique_ptr<Texture> loadPngTexture(const std::string& path, int filterQuality) {
    int width = -1;
    int height = 0;
    std::unique_ptr<unsigned char[]> pixels;
    decodePngFile(path.c_str(), width, height, pixels);
    if (width == -1) {
        platform::reportFatalError(path + " error loading png.");
        return nullptr;
    }
    return std::make_unique<Texture>(std::move(pixels), width, height, 32, filterQuality);
}

}  // namespace assets
