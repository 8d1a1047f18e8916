#include "music/TestMp3.h"

#include <lame/lame.h>

#include "music/Mp3Stream.h"
#include "support/TempFiles.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

std::vector<std::int16_t> chirpSignal(double seconds) {
    const double rate = 44100.0;
    const std::size_t frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> out(frames * 2);
    const double pi = 3.14159265358979323846;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        // Phase of a linear sweep: f(t) = f0 + k t.
        const double left = 2 * pi * (200.0 * t + 150.0 * t * t);
        const double right = 2 * pi * (3000.0 * t - 100.0 * t * t);
        out[2 * i] = static_cast<std::int16_t>(12000.0 * std::sin(left));
        out[2 * i + 1] = static_cast<std::int16_t>(9000.0 * std::sin(right));
    }
    return out;
}

bool writeMp3(const std::string& path, const std::vector<std::int16_t>& interleaved) {
    lame_global_flags* gf = lame_init();
    if (!gf) return false;
    lame_set_in_samplerate(gf, 44100);
    lame_set_out_samplerate(gf, 44100);
    lame_set_num_channels(gf, 2);
    lame_set_brate(gf, 192);
    lame_set_quality(gf, 7);
    lame_set_bWriteVbrTag(gf, 1);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        return false;
    }
    const int frames = static_cast<int>(interleaved.size() / 2);
    std::vector<unsigned char> mp3(static_cast<std::size_t>(1.25 * frames + 7200) + 16384);
    int size = lame_encode_buffer_interleaved(gf, const_cast<short*>(interleaved.data()), frames, mp3.data(),
                                              static_cast<int>(mp3.size()));
    if (size < 0) {
        lame_close(gf);
        return false;
    }
    const int tail = lame_encode_flush(gf, mp3.data() + size, static_cast<int>(mp3.size()) - size);
    if (tail < 0) {
        lame_close(gf);
        return false;
    }
    size += tail;
    // The header frame written first was a placeholder; now that the encoder knows its delay,
    // padding and length, it gives the real one to put in its place.
    unsigned char tag[4096];
    const std::size_t tagSize = lame_get_lametag_frame(gf, tag, sizeof tag);
    lame_close(gf);
    if (tagSize > 0 && tagSize <= static_cast<std::size_t>(size)) std::copy(tag, tag + tagSize, mp3.begin());

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(mp3.data(), 1, static_cast<std::size_t>(size), f) == static_cast<std::size_t>(size);
    return std::fclose(f) == 0 && ok;
}

std::vector<std::int16_t> decodeMp3(const std::string& path) {
    auto stream = music::Mp3Stream::open(path);
    if (!stream) return {};
    std::vector<std::int16_t> out(static_cast<std::size_t>(stream->length()) * 2);
    out.resize(stream->read(out.data(), static_cast<std::size_t>(stream->length())) * 2);
    return out;
}

std::vector<std::int16_t> readSamples(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

TempDir::TempDir() {
    path_ = testsupport::makeTempDir("vx-test-");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace testsupport
