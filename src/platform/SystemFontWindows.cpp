// The system font on Windows: GDI's font mapper picks the face (CreateFontA, as the show's
// original outline font was made), and GetFontData hands over its file. A face from a TrueType
// collection comes as the whole collection with the index of the face whose table directory
// matches the selected font's.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/SystemFont.h"

namespace platform {

namespace {

constexpr DWORD kCollectionTag = 0x66637474;  // 'ttcf' as GetFontData spells it (bytes reversed)
constexpr DWORD kDirectoryBytes = 64;         // enough of a table directory to tell faces apart

std::uint32_t loadBe32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// The table's bytes (0: the selected font; kCollectionTag: its whole collection); empty when
// there is no such table or it is larger than kMaxSystemFontBytes.
std::vector<unsigned char> fontTable(HDC dc, DWORD table) {
    const DWORD size = GetFontData(dc, table, 0, nullptr, 0);
    if (size == GDI_ERROR || size == 0 || size > kMaxSystemFontBytes) return {};
    std::vector<unsigned char> bytes(size);
    if (GetFontData(dc, table, 0, bytes.data(), size) != size) return {};
    return bytes;
}

// The index of the face in `collection` whose table directory starts with `directory`; -1 when
// none does.
int faceInCollection(const std::vector<unsigned char>& collection, const std::vector<unsigned char>& directory) {
    if (collection.size() < 12 || directory.empty()) return -1;
    const std::uint32_t faces = loadBe32(&collection[8]);
    for (std::uint32_t i = 0; i < faces && 12 + 4 * (std::size_t{i} + 1) <= collection.size(); ++i) {
        const std::size_t at = loadBe32(&collection[12 + 4 * std::size_t{i}]);
        if (at <= collection.size() && collection.size() - at >= directory.size() &&
            std::memcmp(&collection[at], directory.data(), directory.size()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

SystemFontData systemFont(const std::string& family, int weight) {
    SystemFontData font;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return font;
    HFONT handle = CreateFontA(-256, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_ONLY_PRECIS,
                               CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FF_DONTCARE | DEFAULT_PITCH,
                               family.c_str());
    if (handle) {
        HGDIOBJ previous = SelectObject(dc, handle);
        std::vector<unsigned char> collection = fontTable(dc, kCollectionTag);
        if (collection.empty()) {
            font.bytes = fontTable(dc, 0);
        } else {
            std::vector<unsigned char> directory(kDirectoryBytes);
            const DWORD got = GetFontData(dc, 0, 0, directory.data(), kDirectoryBytes);
            directory.resize(got == GDI_ERROR ? 0 : std::min<DWORD>(got, kDirectoryBytes));
            font.faceIndex = faceInCollection(collection, directory);
            if (font.faceIndex >= 0) font.bytes = std::move(collection);
            else font.faceIndex = 0;
        }
        SelectObject(dc, previous);
        DeleteObject(handle);
    }
    DeleteDC(dc);
    return font;
}

}  // namespace platform
