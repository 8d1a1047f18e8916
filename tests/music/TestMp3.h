#pragma once
// MP3 files made in the test with LAME, from a signal whose every stretch is unlike every other
// (a rising tone per channel), so a position in the decoded stream can be told by its samples.
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Interleaved 44,100 Hz stereo: left a tone rising from 200 Hz, right one falling from 3 kHz.
std::vector<std::int16_t> chirpSignal(double seconds);

// Encodes interleaved 44,100 Hz stereo samples to an MP3 file (with the encoder's delay and
// padding recorded in its header frame, for gapless decoding). False when the file cannot be
// written.
bool writeMp3(const std::string& path, const std::vector<std::int16_t>& interleaved);

// The whole file decoded as the program decodes it (44,100 Hz stereo, interleaved); empty when
// it cannot be opened.
std::vector<std::int16_t> decodeMp3(const std::string& path);

// A raw file of little-endian int16 samples (what SDL's disk audio driver writes).
std::vector<std::int16_t> readSamples(const std::string& path);

// A fresh directory under the system's temporary directory; removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace testsupport
