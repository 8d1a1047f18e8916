#pragma once
// Outline fonts through the system's own font service: fontconfig on Unix, GDI on Windows
// (SystemFontUnix.cpp, SystemFontWindows.cpp). The caller reads the bytes with FreeType, so both
// systems draw from the same outlines.
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct SystemFontData {
    std::vector<unsigned char> bytes;  // a whole TrueType/OpenType file or collection; empty: none
    int faceIndex = 0;                 // the chosen face within a collection (0 for a single font)
};

// The font the system chooses for `family` ("arial") at `weight` on the OpenType scale (400
// regular, 700 bold, 900 heavy), upright and scalable: the closest installed match when the
// family itself is missing (e.g. Liberation Sans for "arial"). Empty bytes when the system has
// no font at all, the match cannot be read, or its file is larger than kMaxSystemFontBytes.
// Reports nothing.
SystemFontData systemFont(const std::string& family, int weight);

// The largest font file read (a big CJK collection is about 30 MB).
constexpr std::size_t kMaxSystemFontBytes = std::size_t{64} << 20;

}  // namespace platform
