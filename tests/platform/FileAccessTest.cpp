// Files by UTF-8 name, byte for byte, with offsets past the 32-bit range.
#include "platform/FileAccess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::fileLength;
using platform::fileSeek;
using platform::fileTell;
using platform::openFile;
using platform::readWholeFile;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
File open(const std::string& path, const char* mode) { return File(openFile(path, mode), &std::fclose); }

class FileAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / (std::string("vx-files-") + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const std::string& utf8Name) const { return (dir / fs::u8path(utf8Name)).u8string(); }

    fs::path dir;
};

std::vector<unsigned char> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

void write(const std::string& path, const std::vector<unsigned char>& bytes) {
    File file = open(path, "wb");
    ASSERT_TRUE(file) << path;
    // An empty vector's data() may be null, which fwrite must not be given even for 0 bytes.
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file.get()), bytes.size());
    }
}

TEST_F(FileAccessTest, NamesAreUtf8AndBytesPassUnchanged) {
    // Line ends, a ^Z (text-mode end of file on Windows) and a NUL must all survive.
    const std::vector<unsigned char> bytes = bytesOf(std::string("a\r\nb\n\x1a" "c\0d", 9));
    const struct {
        const char* name;
    } cases[] = {{"plain.bin"}, {"caf\xc3\xa9.bin"}, {"\xe6\x98\x9f\xe7\x90\x83 sphere.bin"}, {"\xf0\x9f\x8e\xb5.bin"}};
    for (const auto& c : cases) {
        write(path(c.name), bytes);
        std::vector<unsigned char> back;
        EXPECT_TRUE(readWholeFile(path(c.name), 1024, back)) << c.name;
        EXPECT_EQ(back, bytes) << c.name;
        // The name reached the file system as the characters it spells, not as its bytes in
        // another code page.
        EXPECT_TRUE(fs::exists(dir / fs::u8path(c.name))) << c.name;
    }
}

TEST_F(FileAccessTest, OffsetsPastFourGibibytes) {
    const std::string name = path("sparse.bin");
    const std::int64_t far = (std::int64_t{5} << 30) + 3;  // beyond both 2^31 and 2^32
    {
        File file = open(name, "wb");
        ASSERT_TRUE(file);
        ASSERT_TRUE(fileSeek(file.get(), far, SEEK_SET));
        EXPECT_EQ(fileTell(file.get()), far);
        ASSERT_EQ(std::fputc('x', file.get()), 'x');
    }
    File file = open(name, "rb");
    ASSERT_TRUE(file);
    ASSERT_TRUE(fileSeek(file.get(), 7, SEEK_SET));
    EXPECT_EQ(fileLength(file.get()), far + 1);
    EXPECT_EQ(fileTell(file.get()), 7) << "the length is told without moving the stream";
    ASSERT_TRUE(fileSeek(file.get(), -1, SEEK_END));
    EXPECT_EQ(fileTell(file.get()), far);
    EXPECT_EQ(std::fgetc(file.get()), 'x');

    std::vector<unsigned char> bytes{1};
    EXPECT_FALSE(readWholeFile(name, std::size_t{1} << 20, bytes)) << "refused by its length, before reading";
    EXPECT_TRUE(bytes.empty());
}

TEST_F(FileAccessTest, ReadWholeFileLimitsAndFailures) {
    write(path("four.bin"), bytesOf("four"));
    write(path("empty.bin"), {});
    const struct {
        const char* name;
        std::size_t maxBytes;
        bool ok;
        std::size_t size;
    } cases[] = {
        {"four.bin", 4, true, 4},     // exactly at the limit
        {"four.bin", 3, false, 0},    // one byte over
        {"empty.bin", 0, true, 0},
        {"missing.bin", 100, false, 0},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> bytes{9, 9};
        EXPECT_EQ(readWholeFile(path(c.name), c.maxBytes, bytes), c.ok) << c.name << " max " << c.maxBytes;
        EXPECT_EQ(bytes.size(), c.size) << c.name << " max " << c.maxBytes;
    }
}

}  // namespace
