#include "music/AudioLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "music/FakeAudioDevice.h"
#include "music/TestMp3.h"

namespace {

using testsupport::DeviceState;
using testsupport::pull;

constexpr double seconds = 6.0;

// One MP3 for the whole suite, and its complete decoded stream as the reference.
class AudioLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new testsupport::TempDir;
        ASSERT_TRUE(testsupport::writeMp3(dir->file("song.mp3"), testsupport::chirpSignal(seconds)));
        reference = new std::vector<std::int16_t>(testsupport::decodeMp3(dir->file("song.mp3")));
        ASSERT_FALSE(reference->empty());
    }
    static void TearDownTestSuite() {
        delete reference;
        delete dir;
    }

    void SetUp() override {
        library = std::make_unique<music::AudioLibrary>(std::make_unique<testsupport::FakeAudioDevice>(device));
        ASSERT_TRUE(library->init(44100));
        stream = library->streamCreateFile(dir->file("song.mp3"));
        ASSERT_NE(stream, 0u);
    }

    // `frames` frames of the reference from frame `from`, scaled as the library scales them.
    static std::vector<std::int16_t> expected(std::size_t from, std::size_t frames, int volume = 100) {
        std::vector<std::int16_t> out(frames * 2, 0);
        for (std::size_t i = 0; i < frames * 2 && 2 * from + i < reference->size(); ++i)
            out[i] = static_cast<std::int16_t>((*reference)[2 * from + i] * volume / 100);
        return out;
    }

    static testsupport::TempDir* dir;
    static std::vector<std::int16_t>* reference;
    DeviceState device;
    std::unique_ptr<music::AudioLibrary> library;
    music::StreamHandle stream = 0;
};

testsupport::TempDir* AudioLibraryTest::dir = nullptr;
std::vector<std::int16_t>* AudioLibraryTest::reference = nullptr;

TEST_F(AudioLibraryTest, DecodesTheWholeSignalAtTheDeviceFormat) {
    // Gapless decoding: exactly the encoded length, and the tone itself from the first frame.
    EXPECT_EQ(reference->size(), testsupport::chirpSignal(seconds).size());
    EXPECT_EQ(device.frequency, 44100);
    const std::int32_t peak = *std::max_element(reference->begin(), reference->begin() + 4410 * 2);
    EXPECT_GT(peak, 8000);
}

TEST_F(AudioLibraryTest, SilentUntilStartedAndPlayedThenPlaysFromTheBeginning) {
    EXPECT_EQ(pull(device, 512), expected(reference->size(), 512));  // device not started
    library->start();
    EXPECT_EQ(pull(device, 512), std::vector<std::int16_t>(1024, 0));  // stream not playing
    library->streamPlay(stream);
    EXPECT_EQ(pull(device, 1000), expected(0, 1000));
    EXPECT_EQ(pull(device, 3000), expected(1000, 3000));
}

TEST_F(AudioLibraryTest, SeeksToTheExactFrameOfTheBytePosition) {
    library->start();
    library->streamPlay(stream);
    pull(device, 700);
    struct Case {
        std::int64_t bytes;
        std::size_t frame;
    };
    const Case cases[] = {
        {0, 0},
        {4, 1},
        {4 * 1151, 1151},   // last frame of the first MP3 frame
        {4 * 1152, 1152},   // first of the second
        {4 * 100000 + 3, 100000},  // not a whole frame: rounded down
        {176400 * 5, 220500},      // 5,000 ms
        {4 * 70000, 70000},        // backwards
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(library->channelSetPosition(stream, c.bytes)) << c.bytes;
        EXPECT_EQ(pull(device, 2400), expected(c.frame, 2400)) << "byte position " << c.bytes;
    }
}

TEST_F(AudioLibraryTest, NegativePositionIsRefusedAndPlaybackContinues) {
    library->start();
    library->streamPlay(stream);
    pull(device, 5000);
    EXPECT_FALSE(library->channelSetPosition(stream, -866653));
    EXPECT_EQ(pull(device, 1000), expected(5000, 1000));
    EXPECT_FALSE(library->channelSetPosition(stream + 1, 0)) << "no such stream";
}

TEST_F(AudioLibraryTest, PastTheEndIsSilenceUntilASeekBack) {
    library->start();
    library->streamPlay(stream);
    const std::size_t length = reference->size() / 2;
    EXPECT_TRUE(library->channelSetPosition(stream, 4 * static_cast<std::int64_t>(length - 100)));
    EXPECT_EQ(pull(device, 300), expected(length - 100, 300));  // the last 100 frames, then silence
    EXPECT_EQ(pull(device, 300), std::vector<std::int16_t>(600, 0));
    EXPECT_TRUE(library->channelSetPosition(stream, 4 * 3000));
    EXPECT_EQ(pull(device, 300), expected(3000, 300));
}

TEST_F(AudioLibraryTest, MasterVolumeScalesTheOutput) {
    library->start();
    library->streamPlay(stream);
    std::size_t at = 0;
    for (int volume : {100, 55, 5, 0}) {
        EXPECT_TRUE(library->setVolume(volume));
        EXPECT_EQ(pull(device, 1500), expected(at, 1500, volume)) << volume << " %";
        at += 1500;
    }
    EXPECT_FALSE(library->setVolume(101));
    EXPECT_FALSE(library->setVolume(-1));
}

TEST_F(AudioLibraryTest, StopSilencesTheDeviceAndFreeClosesItBeforeTheStreams) {
    library->start();
    library->streamPlay(stream);
    pull(device, 100);
    library->stop();
    EXPECT_FALSE(device.running);
    library->free();
    EXPECT_EQ(device.closes, 1);
    EXPECT_FALSE(device.callback) << "the device thread must have nothing left to call";
    EXPECT_FALSE(library->streamPlay(stream)) << "streams are released";
    library.reset();
    EXPECT_EQ(device.closes, 1) << "the destructor finds nothing more to release";
}

TEST_F(AudioLibraryTest, FilesThatAreNotMp3GiveNoStream) {
    const std::string garbage = dir->file("garbage.mp3");
    std::ofstream(garbage) << std::string(20000, 'x');
    const std::string empty = dir->file("empty.mp3");
    std::ofstream{empty};
    for (const std::string& path : {garbage, empty, dir->file("missing.mp3"), dir->path()})
        EXPECT_EQ(library->streamCreateFile(path), 0u) << path;
}

TEST_F(AudioLibraryTest, BackslashPathsOpenRelativeToTheWorkingDirectory) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(dir->path()).parent_path());
    const std::string relative = std::filesystem::path(dir->path()).filename().string() + "\\song.mp3";
    const music::StreamHandle second = library->streamCreateFile(relative);
    std::filesystem::current_path(before);
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, stream);
}

TEST(AudioLibraryDevice, NoDeviceStillLoadsStreamsQuietly) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::writeMp3(dir.file("a.mp3"), testsupport::chirpSignal(0.5)));
    DeviceState device;
    device.opens = false;
    music::AudioLibrary library(std::make_unique<testsupport::FakeAudioDevice>(device));
    EXPECT_FALSE(library.init(44100));
    const music::StreamHandle stream = library.streamCreateFile(dir.file("a.mp3"));
    EXPECT_NE(stream, 0u);
    EXPECT_FALSE(library.start());
    EXPECT_TRUE(library.streamPlay(stream));
    EXPECT_TRUE(library.channelSetPosition(stream, 4000));
}

}  // namespace
