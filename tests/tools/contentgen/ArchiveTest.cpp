// The data archive: both members come back byte for byte through the program's reader and
// through an independent extractor (unar).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "ContentPack.h"
#include "SphereMesh.h"
#include "assets/AssetFixtures.h"
#include "datafiles/ArchiveReader.h"

namespace {

using Bytes = std::vector<uint8_t>;

class PackArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        stars = contentgen::makeSphereOb3(contentgen::kStarSphere);
        ball = contentgen::makeSphereOb3(contentgen::kBallSphere);
        archive = contentgen::makeArchive(stars, ball);
    }
    static Bytes stars, ball, archive;
};
Bytes PackArchive::stars, PackArchive::ball, PackArchive::archive;

Bytes extract(const Bytes& archive, const std::string& member, const char* passPhrase) {
    std::FILE* f = fmemopen(const_cast<uint8_t*>(archive.data()), archive.size(), "rb");
    if (!f) return {};
    uint8_t* data = nullptr;
    uint32_t size = 0;
    const int ok = datafiles::extractMember(member, f, passPhrase, data, size);
    std::fclose(f);
    Bytes out;
    if (ok) out.assign(data, data + size);
    std::free(data);
    return out;
}

TEST_F(PackArchive, ProgramReaderExtractsBothMembersExactly) {
    EXPECT_EQ(extract(archive, "invsphere.ob3", "marzipol"), stars);
    EXPECT_EQ(extract(archive, "ballo.ob3", "marzipol"), ball);
    // Enciphered: without the pass phrase (or with another) nothing comes out.
    EXPECT_TRUE(extract(archive, "invsphere.ob3", "").empty());
    EXPECT_TRUE(extract(archive, "ballo.ob3", "marzipan").empty());
}

TEST_F(PackArchive, SameBytesOnEveryRun) {
    EXPECT_EQ(contentgen::makeArchive(stars, ball), archive);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(PackArchive, UnarExtractsBothMembersExactly) {
    assettest::ScratchDir scratch;
    assettest::writeFile("blow.job", archive);
    const int status = std::system("unar -q -f -D -p marzipol -o out blow.job >/dev/null 2>&1");
    ASSERT_EQ(status, 0) << "unar failed (is it installed? scripts/install-deps)";
    EXPECT_EQ(readFile("out/invsphere.ob3"), stars);
    EXPECT_EQ(readFile("out/ballo.ob3"), ball);
}

}  // namespace
