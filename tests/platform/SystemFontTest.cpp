// The system's font for "arial": a whole outline font file, read the same way on every system.
#include "platform/SystemFont.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::uint32_t be32(const std::vector<unsigned char>& b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

TEST(SystemFontTest, ArialIsAWholeOutlineFontFile) {
    const platform::SystemFontData font = platform::systemFont("arial", 900);
    ASSERT_GE(font.bytes.size(), 12u) << "the build machine has fonts (fonts-liberation)";
    EXPECT_LE(font.bytes.size(), platform::kMaxSystemFontBytes);
    const std::uint32_t tag = be32(font.bytes, 0);
    if (tag == 0x74746366) {  // 'ttcf': the face index picks one of the collection's faces
        EXPECT_LT(static_cast<std::uint32_t>(font.faceIndex), be32(font.bytes, 8));
    } else {
        EXPECT_TRUE(tag == 0x00010000 || tag == 0x4f54544f || tag == 0x74727565) << std::hex << tag;
        EXPECT_EQ(font.faceIndex, 0);
        // A single font's table directory lies inside the bytes: the file is whole.
        const std::size_t tables = std::size_t{font.bytes[4]} << 8 | font.bytes[5];
        EXPECT_GT(tables, 0u);
        EXPECT_GE(font.bytes.size(), 12 + 16 * tables);
        for (std::size_t i = 0; i < tables && 12 + 16 * (i + 1) <= font.bytes.size(); ++i) {
            const std::uint64_t offset = be32(font.bytes, 12 + 16 * i + 8), length = be32(font.bytes, 12 + 16 * i + 12);
            EXPECT_LE(offset + length, font.bytes.size()) << "table " << i;
        }
    }
}

}  // namespace
