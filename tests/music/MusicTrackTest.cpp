#include "music/MusicTrack.h"

#include <gtest/gtest.h>

#include "music/FakeAudioApi.h"
#include "platform/FakeClock.h"
#include "platform/FatalError.h"

namespace {

using testsupport::AudioCall;
using testsupport::AudioLog;
using testsupport::FakeAudioApi;

class MusicTrackTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = platform::setFatalErrorHandler([this](const std::string& text) { reports.push_back(text); });
    }
    void TearDown() override { platform::setFatalErrorHandler(previous_); }

    std::unique_ptr<music::MusicTrack> makeTrack() {
        return std::make_unique<music::MusicTrack>(FakeAudioApi::make(log), clock);
    }

    AudioLog log;
    testsupport::FakeClock clock;
    std::vector<std::string> reports;

private:
    platform::FatalErrorHandler previous_;
};

TEST(MusicTrackPosition, MillisecondsBecomeDecodedBytesTruncatedTowardZero) {
    struct Case {
        std::int32_t ms;
        std::int64_t bytes;
    };
    const Case cases[] = {
        {0, 0},
        {1, 176},
        {3, 529},  // 529.2: not a whole frame; the library rounds down to one
        {1000, 176400},
        {251586, 44379770},
        {-1, -176},
        {-5333, -940741},
        // Far beyond what 32-bit arithmetic holds: the sign stays, so the library still refuses it.
        {-1300000, -229320000},
        {2000000, 352800000},
    };
    for (const Case& c : cases) EXPECT_EQ(music::MusicTrack::positionForMs(c.ms), c.bytes) << "ms " << c.ms;
}

TEST_F(MusicTrackTest, StartUpChecksVersionOpensDeviceAndReportsEachFailure) {
    struct Case {
        std::uint32_t version;
        bool deviceOpens;
        std::vector<std::string> reports;
    };
    const Case cases[] = {
        {0x60001, true, {}},
        {0x60002, true, {"Bass versin 1.6 was not loaded"}},
        {0x50001, true, {"Bass versin 1.6 was not loaded"}},
        {0x60001, false, {"Cannot initialize device"}},
        {0, false, {"Bass versin 1.6 was not loaded", "Cannot initialize device"}},
    };
    for (const Case& c : cases) {
        log = AudioLog{};
        log.version = c.version;
        log.initResult = c.deviceOpens;
        reports.clear();
        auto track = makeTrack();
        EXPECT_EQ(reports, c.reports) << "version " << std::hex << c.version;
        // The device is opened at 44.1 kHz even after a failed version check.
        ASSERT_EQ(log.calls.size(), 2u);
        EXPECT_EQ(log.calls[1], (AudioCall{"init", 44100, ""}));
    }
}

TEST_F(MusicTrackTest, LoadKeepsTheStreamOrReportsAndLeavesItZero) {
    auto track = makeTrack();
    track->load("data\\Vorthalimex.mp3");
    EXPECT_EQ(track->stream, 7u);
    EXPECT_EQ(log.calls.back(), (AudioCall{"create", 0, "data\\Vorthalimex.mp3"}));
    EXPECT_TRUE(reports.empty());

    log.streamResult = 0;
    auto missing = makeTrack();
    missing->load("data\\missing.mp3");
    EXPECT_EQ(missing->stream, 0u);
    EXPECT_EQ(reports, std::vector<std::string>{"Cannot load the music"});
}

TEST_F(MusicTrackTest, PlaySeekFadeAndReleaseInOrder) {
    {
        auto track = makeTrack();
        track->load("song.mp3");
        log.calls.clear();
        track->play();
        track->seek(1000);
        track->seek(-4913);
        track->fadeOutAndStop();
    }
    std::vector<AudioCall> expected = {
        {"start", 0, ""}, {"play", 7, ""}, {"position", 176400, ""}, {"position", -866653, ""}};
    for (int v = 100; v >= 0; v -= 5) expected.push_back({"volume", v, ""});
    expected.push_back({"stop", 0, ""});
    expected.push_back({"free", 0, ""});
    EXPECT_EQ(log.calls, expected);
    // One 1 ms sleep after each of the 21 volume steps.
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(21, 1));
}

}  // namespace
