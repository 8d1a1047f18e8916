// The capture tool run as a program on the test's display: a short video checked with ffprobe
// and against its soundtrack.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "RunCommand.h"

namespace {

using capturetest::CommandResult;
using capturetest::shellQuoted;
using capturetest::runCommand;

constexpr int kRate = 44100;

std::vector<std::string> directoryEntries(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

// ffprobe's view of each stream: one map of fields per stream, in file order.
std::vector<std::map<std::string, std::string>> probeStreams(const std::string& file) {
    const CommandResult r = runCommand(
        "ffprobe -v error -count_frames -show_entries "
        "stream=codec_type,codec_name,width,height,r_frame_rate,nb_read_frames,duration "
        "-of compact=p=0 " + shellQuoted(file));
    std::vector<std::map<std::string, std::string>> streams;
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::map<std::string, std::string> fields;
        std::istringstream parts(line);
        std::string part;
        while (std::getline(parts, part, '|')) {
            const auto eq = part.find('=');
            if (eq != std::string::npos) fields[part.substr(0, eq)] = part.substr(eq + 1);
        }
        if (!fields.empty()) streams.push_back(fields);
    }
    return streams;
}

// Decodes the sound of a file, from start seconds on, to mono 16-bit samples at 44.1 kHz.
std::vector<int16_t> decodeSound(const std::string& file, double start, const std::string& scratch) {
    const CommandResult r = runCommand("ffmpeg -hide_banner -loglevel error -y -ss " + std::to_string(start) +
                                       " -i " + shellQuoted(file) + " -vn -ac 1 -ar 44100 -f s16le " + shellQuoted(scratch));
    EXPECT_EQ(r.status, 0) << r.output;
    std::ifstream in(scratch, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Normalised correlation of a against b shifted by lag samples, over a's length (every fourth
// sample: enough for noise).
double correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b, int lag) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 1000; i + 1000 < a.size(); i += 4) {
        const long j = static_cast<long>(i) + lag;
        if (j < 0 || j >= static_cast<long>(b.size())) continue;
        ab += double(a[i]) * b[j];
        aa += double(a[i]) * a[i];
        bb += double(b[j]) * b[j];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

// A run directory with the content pack's files and a soundtrack of white noise in place of the
// music: noise lines up with itself at one lag only, so the sound's position can be checked. The
// noise ends 11.5 s in, before the capture does: the rest of the video has silence, not fewer
// frames.
class CaptureToolTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/capture-tool-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        const std::string run = dir + "/run";
        ASSERT_EQ(mkdir(run.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((run + "/data").c_str(), 0755), 0);
        const std::string pack = VX_RUN_DIR;
        for (const auto& name : directoryEntries(pack)) {
            if (name != "data") {
                ASSERT_EQ(symlink((pack + "/" + name).c_str(), (run + "/" + name).c_str()), 0);
            }
        }
        for (const auto& name : directoryEntries(pack + "/data")) {
            if (name != "Vorthalimex.mp3") {
                ASSERT_EQ(symlink((pack + "/data/" + name).c_str(), (run + "/data/" + name).c_str()), 0);
            }
        }
        soundtrack = run + "/data/Vorthalimex.mp3";
        const CommandResult noise = runCommand(
            "ffmpeg -hide_banner -loglevel error -y -f lavfi -i anoisesrc=d=11.5:c=white:seed=7:a=0.3 "
            "-ar 44100 -ac 2 -c:a libmp3lame -b:a 192k " + shellQuoted(soundtrack));
        ASSERT_EQ(noise.status, 0) << noise.output;

        // 4 fps from 10,000 to 13,000 ms: frames at 10,150, 10,400, ..., 12,900 ms.
        video = dir + "/short.mp4";
        capture = runCommand(shellQuoted(CAPTURE_TOOL) + " --run-dir " + shellQuoted(run) +
                             " --fps 4 --from 10000 --to 13000 --size 320x240 -o " + shellQuoted(video));
    }
    static void TearDownTestSuite() { runCommand("rm -rf " + shellQuoted(dir)); }

    static std::string dir, soundtrack, video;
    static CommandResult capture;
};
std::string CaptureToolTest::dir, CaptureToolTest::soundtrack, CaptureToolTest::video;
CommandResult CaptureToolTest::capture;

TEST_F(CaptureToolTest, ShortCaptureIsAnH264VideoWithItsSound) {
    ASSERT_EQ(capture.status, 0) << capture.output;
    EXPECT_NE(capture.output.find("captured 12 frames"), std::string::npos) << capture.output;
    EXPECT_NE(capture.output.find("frame 12/12  music 0:12.900"), std::string::npos) << capture.output;

    const auto streams = probeStreams(video);
    ASSERT_EQ(streams.size(), 2u);
    const auto& v = streams[0];
    const auto& a = streams[1];
    EXPECT_EQ(v.at("codec_type"), "video");
    EXPECT_EQ(v.at("codec_name"), "h264");
    EXPECT_EQ(v.at("width"), "320");
    EXPECT_EQ(v.at("height"), "240");
    EXPECT_EQ(v.at("r_frame_rate"), "4/1");
    EXPECT_EQ(v.at("nb_read_frames"), "12");
    EXPECT_EQ(a.at("codec_type"), "audio");
    EXPECT_EQ(a.at("codec_name"), "aac");
    EXPECT_NEAR(std::atof(a.at("duration").c_str()), 3.0, 0.024);  // within one AAC frame
}

// Frame 39 at 4 fps sits 9.75 s into the soundtrack: the video's sound must start there.
TEST_F(CaptureToolTest, SoundStartsAtTheFirstFramesPlaceInTheSoundtrack) {
    ASSERT_EQ(capture.status, 0) << capture.output;
    const std::vector<int16_t> inVideo = decodeSound(video, 0.0, dir + "/video.raw");
    const std::vector<int16_t> original = decodeSound(soundtrack, 0.0, dir + "/original.raw");
    ASSERT_GT(inVideo.size(), static_cast<size_t>(2.9 * kRate));
    const int offset = static_cast<int>(9.75 * kRate);
    int best = 0;
    double bestValue = -1;
    for (int lag = -kRate / 20; lag <= kRate / 20; ++lag) {  // 50 ms either way
        const double c = correlation(inVideo, original, offset + lag);
        if (c > bestValue) {
            bestValue = c;
            best = lag;
        }
    }
    EXPECT_LE(std::abs(best), 1) << "sound off by " << best << " samples";
    EXPECT_GT(bestValue, 0.9);
}

}  // namespace
