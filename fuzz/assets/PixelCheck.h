#pragma once
// What the picture fuzz targets check on a decode's out-arguments.
#include <cstddef>
#include <cstdlib>
#include <memory>

namespace fuzzcheck {

// The decoded-picture budget the targets hand the loaders: declared sizes beyond it are refused
// as the real budget refuses larger ones, and every input stays fast.
inline constexpr std::size_t kBudget = std::size_t{16} << 20;

// A success hands back a picture within the budget, every byte of which is read (so a short
// buffer shows under AddressSanitizer); a failure hands back nothing.
inline void checkDecoded(bool ok, int width, int height, const std::unique_ptr<unsigned char[]>& pixels,
                         unsigned bytesPerPixel, std::size_t maxBytes) {
    if (!ok) {
        if (pixels != nullptr) std::abort();
        return;
    }
    if (pixels == nullptr || width <= 0 || height <= 0) std::abort();
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * bytesPerPixel;
    if (bytes > maxBytes) std::abort();
    volatile unsigned char sum = 0;
    for (std::size_t i = 0; i < bytes; ++i) sum = static_cast<unsigned char>(sum + pixels[i]);
}

}  // namespace fuzzcheck
