// The system font on Unix: fontconfig picks the file, which is read whole.
#include <fontconfig/fontconfig.h>

#include <cstdio>

#include "platform/FileAccess.h"
#include "platform/SystemFont.h"

namespace platform {

namespace {

// The file and face index fontconfig matches; an empty path when it has nothing at all.
std::string matchFontFile(const std::string& family, int weight, int* faceIndex) {
    *faceIndex = 0;
    if (!FcInit()) return {};
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    std::string path;
    if (match != nullptr) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, faceIndex);
        FcPatternDestroy(match);
    }
    return path;
}

}  // namespace

SystemFontData systemFont(const std::string& family, int weight) {
    SystemFontData font;
    const std::string path = matchFontFile(family, weight, &font.faceIndex);
    if (path.empty() || !readWholeFile(path, kMaxSystemFontBytes, font.bytes)) font = SystemFontData{};
    return font;
}

}  // namespace platform
