// The whole pack as the build made it in the run directory: the same bytes from another run of
// the generator, and a soundtrack that decodes through the program's own audio path with its
// beats where the picture expects them, its peaks under the limit and its loudness on target.
#include <gtest/gtest.h>

#include <ebur128.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "ContentPack.h"
#include "Loudness.h"
#include "Soundtrack.h"
#include "SphereMesh.h"
#include "SoundtrackTiming.h"
#include "Synth.h"
#include "music/Mp3Stream.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class WholePack : public ::testing::Test {
protected:
    static std::string path(const std::string& file) { return std::string(PACK_DIR) + "/" + file; }
};

TEST_F(WholePack, SecondRunInAnotherProcessWritesTheSameBytes) {
    char pattern[] = "/tmp/contentgen-pack-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string second = pattern;
    ASSERT_EQ(std::system((std::string(CONTENTGEN_PATH) + " -q '" + second + "'").c_str()), 0);
    contentgen::PackOptions all;
    for (const std::string& file : contentgen::packFiles(all)) {
        const std::string a = readFile(path(file));
        EXPECT_FALSE(a.empty()) << file;
        EXPECT_TRUE(a == readFile(second + "/" + file)) << file << " differs between runs";
    }
    std::error_code ignored;
    std::filesystem::remove_all(second, ignored);
    struct stat st;
    EXPECT_NE(stat(path("data/invsphere.ob3").c_str(), &st), 0) << "the star sphere must come from the archive";
}

// The run directory's meshes and archive are the very bytes the unit tests check through the
// loader, extractMember and unar.
TEST_F(WholePack, MeshesAndArchiveAreTheCheckedOnes) {
    const std::vector<uint8_t> ball = contentgen::makeSphereOb3(contentgen::kBallSphere);
    const std::vector<uint8_t> stars = contentgen::makeSphereOb3(contentgen::kStarSphere);
    const std::vector<uint8_t> archive = contentgen::makeArchive(stars, ball);
    EXPECT_TRUE(readFile(path("data/ballo.ob3")) == std::string(ball.begin(), ball.end()));
    EXPECT_TRUE(readFile(path("blow.job")) == std::string(archive.begin(), archive.end()));
}

// Decodes the soundtrack with music::Mp3Stream, the decoder the program plays it through.
std::vector<int16_t> decodeSoundtrack(const std::string& file) {
    std::string error;
    std::unique_ptr<music::Mp3Stream> stream = music::Mp3Stream::open(file, &error);
    EXPECT_TRUE(stream) << error;
    std::vector<int16_t> pcm;
    if (!stream) return pcm;
    std::vector<int16_t> chunk(2 * 65536);
    size_t frames;
    while ((frames = stream->read(chunk.data(), 65536)) > 0) pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + 2 * frames);
    return pcm;
}

// Each kick is found in the decoded signal by matching the kick's own waveform (its first 40 ms)
// within 50 ms either side of where beat b = t + 1 belongs, b * 60000 / 145 - 400 ms into the
// file. The match must fall within 5 ms of that point: picture and sound meet.
TEST_F(WholePack, SoundtrackDecodesGaplessWithKicksOnThePictureBeatGrid) {
    const std::vector<int16_t> pcm = decodeSoundtrack(path("data/Vorthalimex.mp3"));
    const size_t frames = pcm.size() / 2;
    EXPECT_GE(frames, 252u * 44100u);
    // Gapless: the encoder's delay and padding are gone, not one frame more or less.
    EXPECT_EQ(static_cast<int64_t>(frames), contentgen::kSoundtrackSamples);

    std::vector<float> mono(frames);
    for (size_t i = 0; i < frames; ++i) mono[i] = (pcm[2 * i] + pcm[2 * i + 1]) * (0.5f / 32768.0f);
    const std::vector<float> kick = contentgen::kickTemplate(1764);
    const long search = 2205, tolerance = 220;  // 50 ms, 5 ms

    auto match = [&](long at) {
        double dot = 0.0, energy = 1e-12;
        for (size_t i = 0; i < kick.size(); ++i) {
            const float v = mono[at + i];
            dot += v * kick[i];
            energy += v * v;
        }
        return dot / std::sqrt(energy);
    };

    const std::vector<double> kicks = contentgen::soundtrackKicks();
    ASSERT_GT(kicks.size(), 300u);
    int checked = 0;
    for (double t : kicks) {
        const long expected = std::lround(((t + 1.0) * 60000.0 / 145.0 - 400.0) * 44.1);
        ASSERT_GE(expected - search, 0);
        ASSERT_LE(expected + search + static_cast<long>(kick.size()), static_cast<long>(frames));
        long best = 0;
        double bestScore = -1e9;
        for (long d = -search; d <= search; d += 2) {
            const double s = match(expected + d);
            if (s > bestScore) bestScore = s, best = d;
        }
        for (long d = best - 1; d <= best + 1; d += 2) {
            const double s = match(expected + d);
            if (s > bestScore) bestScore = s, best = d;
        }
        EXPECT_LE(std::labs(best), tolerance) << "kick at t " << t << " found " << best / 44.1 << " ms off the grid";
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(kicks.size()));

    // And sample for sample: the decoded signal lines up with the synthesised one at lag 0 (the
    // encoder's 576 + 529 samples of delay are gone), equal but for the coding noise.
    const contentgen::Soundtrack synthesised = contentgen::renderSoundtrack(nullptr);
    ASSERT_EQ(synthesised.pcm.size(), pcm.size());
    const size_t from = 2 * 100 * 44100, count = 2 * 44100;  // one second, 100 s in
    auto correlation = [&](long lag) {
        double xy = 0.0, xx = 1e-9, yy = 1e-9;
        for (size_t i = from; i < from + count; ++i) {
            const double x = synthesised.pcm[i], y = pcm[i + 2 * lag];
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        return xy / std::sqrt(xx * yy);
    };
    long bestLag = 0;
    double best = -2.0;
    for (long lag = -1500; lag <= 1500; ++lag) {
        const double c = correlation(lag);
        if (c > best) best = c, bestLag = lag;
    }
    EXPECT_EQ(bestLag, 0);
    EXPECT_GT(best, 0.99);
}

// The soundtrack as the program plays it (16-bit, through its own decoder), measured with
// libebur128: headroom left above every peak, no clipped sample, streaming loudness, and quiet
// sections that stand apart from the loud ones.
TEST_F(WholePack, SoundtrackKeepsHeadroomAndStreamingLoudness) {
    const std::vector<int16_t> pcm = decodeSoundtrack(path("data/Vorthalimex.mp3"));
    ASSERT_EQ(static_cast<int64_t>(pcm.size()), 2 * contentgen::kSoundtrackSamples);
    size_t fullScale = 0;
    for (int16_t v : pcm) fullScale += v >= 32767 || v <= -32767;
    EXPECT_EQ(fullScale, 0u) << "samples at full scale";

    std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> meter(
        ebur128_init(2, 44100, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK),
        [](ebur128_state* st) { ebur128_destroy(&st); });
    ASSERT_TRUE(meter);
    ASSERT_EQ(ebur128_add_frames_short(meter.get(), pcm.data(), pcm.size() / 2), EBUR128_SUCCESS);
    double lufs = 0.0, range = 0.0, left = 0.0, right = 0.0;
    ASSERT_EQ(ebur128_loudness_global(meter.get(), &lufs), EBUR128_SUCCESS);
    ASSERT_EQ(ebur128_loudness_range(meter.get(), &range), EBUR128_SUCCESS);
    ASSERT_EQ(ebur128_true_peak(meter.get(), 0, &left), EBUR128_SUCCESS);
    ASSERT_EQ(ebur128_true_peak(meter.get(), 1, &right), EBUR128_SUCCESS);
    const double truePeakDb = 20.0 * std::log10(std::max(left, right));
    EXPECT_LE(truePeakDb, -1.0) << "dBTP";
    EXPECT_NEAR(lufs, -14.0, 1.0) << "integrated loudness, LUFS";
    EXPECT_GE(range, 6.0) << "loudness range, LU";

    // The low end leaves room for the rest: under 45 % of the energy below 250 Hz.
    std::vector<float> samples(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) samples[i] = pcm[i] / 32768.0f;
    EXPECT_LT(contentgen::measureLoudness(samples).lowShare, 0.45);
}

// The program itself on the pack, on its own virtual display, with SDL's disk driver standing in
// for the sound card: it loads everything without a fatal report, and what it plays is the
// soundtrack from its first sample, exactly as the decoder gives it.
TEST_F(WholePack, ProgramStartsOnThePackAndPlaysTheSoundtrackFromItsStart) {
    char pattern[] = "/tmp/contentgen-show-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern, sound = dir + "/sound.raw", errors = dir + "/stderr.txt";
    // SIGINT after 15 s (loading takes a few on a busy machine) closes the window: the show ends.
    const std::string command = "cd '" + std::string(PACK_DIR) + "' && VX_MESSAGE_BOX=0 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" +
                                sound + "' xvfb-run -a -s '-screen 0 640x480x24' timeout -s INT -k 10 15 '" +
                                std::string(VX_PROGRAM) + "' 2>'" + errors + "' >/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 124)) << status;
    const std::string stderrText = readFile(errors);
    EXPECT_EQ(stderrText.find("Error:"), std::string::npos) << stderrText;

    // The output stream: silence until playback starts, then the soundtrack.
    const std::string played = readFile(sound);
    const std::vector<int16_t> decoded = decodeSoundtrack(path("data/Vorthalimex.mp3"));
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    const int16_t* out = reinterpret_cast<const int16_t*>(played.data());
    const size_t outCount = played.size() / 2;
    auto firstSound = [](const int16_t* p, size_t n) {
        size_t i = 0;
        while (i < n && p[i] == 0) ++i;
        return i & ~size_t(1);  // a whole stereo frame
    };
    const size_t a = firstSound(out, outCount), b = firstSound(decoded.data(), decoded.size());
    const size_t compare = 2 * 44100;  // the first second of sound
    ASSERT_GE(outCount, a + compare) << "the program played less than a second of sound";
    ASSERT_GE(decoded.size(), b + compare);
    size_t same = 0;
    for (size_t i = 0; i < compare; ++i) same += out[a + i] == decoded[b + i];
    EXPECT_EQ(same, compare) << "the program's output differs from the soundtrack";
}

}  // namespace
