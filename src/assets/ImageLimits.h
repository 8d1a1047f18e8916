#pragma once
// The budget the picture loaders hold every file to. It is checked on the header, before the
// decoder or the loader allocates anything for the picture, and lies far above any texture the
// show can use (its pictures are at most a few hundred pixels a side; GL drivers cap textures at
// 16,384 a side), so only damaged or hostile files meet it.
#include <cstddef>
#include <cstdint>

namespace assets {

// The largest width or height accepted.
inline constexpr std::uint32_t kMaxImageSide = 16384;
// The largest decoded picture accepted, width x height x bytes per pixel as delivered
// (3 for JPEG, 4 for PNG): 256 MiB, so 64 Mpixel of RGBA.
inline constexpr std::size_t kMaxImageBytes = std::size_t{256} << 20;

// Whether a width x height picture of `bytesPerPixel` bytes per pixel fits the sides and the
// byte budget `maxBytes` (a zero side does not fit).
inline bool imageFitsBudget(std::uint32_t width, std::uint32_t height, unsigned bytesPerPixel,
                            std::size_t maxBytes = kMaxImageBytes) {
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
    return std::uint64_t{width} * height * bytesPerPixel <= maxBytes;
}

}  // namespace assets
