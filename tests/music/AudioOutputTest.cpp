// The soundtrack through the real SDL output: the disk driver writes what the device plays into a
// file, which is then compared with the decoded stream.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "music/AudioLibrary.h"
#include "music/MusicTrack.h"
#include "music/TestMp3.h"

namespace {

// Sets environment variables for the scope of a test and puts the old values back.
class ScopedEnv {
public:
    void set(const char* name, const std::string& value) {
        const char* old = std::getenv(name);
        saved_.push_back({name, old ? std::string(old) : std::string(), old != nullptr});
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->had)
                setenv(it->name, it->value.c_str(), 1);
            else
                unsetenv(it->name);
        }
    }

private:
    struct Saved {
        const char* name;
        std::string value;
        bool had;
    };
    std::vector<Saved> saved_;
};

bool frameIsZero(const std::vector<std::int16_t>& s, std::size_t frame) { return s[2 * frame] == 0 && s[2 * frame + 1] == 0; }

bool framesEqual(const std::vector<std::int16_t>& a, std::size_t i, const std::vector<std::int16_t>& b, std::size_t j) {
    return a[2 * i] == b[2 * j] && a[2 * i + 1] == b[2 * j + 1];
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(AudioOutput, DiskDriverPlaysFromTheStartSeeksExactlyAndFadesToSilence) {
    testsupport::TempDir dir;
    const std::string mp3 = dir.file("song.mp3");
    ASSERT_TRUE(testsupport::writeMp3(mp3, testsupport::chirpSignal(8.0)));
    const std::vector<std::int16_t> reference = testsupport::decodeMp3(mp3);
    ASSERT_FALSE(reference.empty());

    const std::string raw = dir.file("out.raw");
    {
        ScopedEnv env;
        env.set("SDL_AUDIODRIVER", "disk");
        env.set("SDL_DISKAUDIOFILE", raw);
        music::MusicTrack track;
        track.load(mp3);
        ASSERT_NE(track.stream, 0u);
        sleepMs(100);
        track.play();
        sleepMs(400);
        track.seek(5000);
        sleepMs(400);
        track.fadeOutAndStop();
        sleepMs(300);
    }
    const std::vector<std::int16_t> out = testsupport::readSamples(raw);
    const std::size_t frames = out.size() / 2;
    ASSERT_GT(frames, 44100u / 2) << "the device wrote too little";

    // Silence until play, then the stream from its first frame.
    std::size_t start = 0;
    while (start < frames && frameIsZero(out, start)) ++start;
    std::size_t first = 0;
    while (frameIsZero(reference, first)) ++first;
    ASSERT_LT(start, frames);
    std::size_t run = 0;
    while (start + run < frames && framesEqual(out, start + run, reference, first + run)) ++run;
    EXPECT_GT(run, 44100u / 10) << "played from the beginning for at least 100 ms before the seek";

    // From the seek on, the stream at 5,000 ms (frame 220,500), within one MP3 frame.
    const std::size_t seekAt = start + run;
    const std::size_t window = 4096;
    ASSERT_LT(seekAt + window, frames);
    const std::size_t target = 220500;
    std::size_t bestFrame = 0, bestMismatches = window + 1;
    for (std::size_t candidate = target - 1152; candidate <= target + 1152; ++candidate) {
        std::size_t mismatches = 0;
        for (std::size_t j = 0; j < window && mismatches < bestMismatches; ++j)
            mismatches += !framesEqual(out, seekAt + j, reference, candidate + j);
        if (mismatches < bestMismatches) {
            bestMismatches = mismatches;
            bestFrame = candidate;
        }
    }
    EXPECT_EQ(bestMismatches, 0u) << "best match at frame " << bestFrame;
    EXPECT_LE(bestFrame > target ? bestFrame - target : target - bestFrame, 1152u);

    // The fade ends in silence, and the device goes on playing silence until it is closed.
    std::size_t last = frames;
    while (last > 0 && frameIsZero(out, last - 1)) --last;
    EXPECT_GT(last, seekAt + window);
    EXPECT_GE(frames - last, 44100u / 10) << "at least 100 ms of silence after the fade";
}

// The device thread keeps mixing while the main thread seeks and then frees everything: the
// sanitizer build shows any access to released state.
TEST(AudioOutput, FreeWhileTheDeviceMixesReleasesNothingTheCallbackStillUses) {
    testsupport::TempDir dir;
    const std::string mp3 = dir.file("short.mp3");
    ASSERT_TRUE(testsupport::writeMp3(mp3, testsupport::chirpSignal(1.0)));
    ScopedEnv env;
    env.set("SDL_AUDIODRIVER", "disk");
    env.set("SDL_DISKAUDIOFILE", "/dev/null");
    env.set("SDL_DISKAUDIODELAY", "0");  // the device thread mixes as fast as it can
    for (int round = 0; round < 10; ++round) {
        music::AudioLibrary library;
        ASSERT_TRUE(library.init(44100));
        const music::StreamHandle stream = library.streamCreateFile(mp3);
        ASSERT_NE(stream, 0u);
        library.start();
        library.streamPlay(stream);
        for (int i = 0; i < 50; ++i) {
            library.channelSetPosition(stream, (i * 7919 % 40000) * 4);
            library.setVolume(100 - i % 100);
        }
        if (round % 2) library.stop();
        library.free();
    }
}

}  // namespace
