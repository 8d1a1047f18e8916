#include "Loudness.h"

#include <ebur128.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "Dsp.h"

namespace contentgen {
namespace {

// Two cascaded second-order low-passes with the Q of a 4th-order Butterworth, in double
// precision (the split must not add noise of its own at -60 dB and below).
class LowSplit {
public:
    explicit LowSplit(double cutoff) {
        static const double kQ[2] = {0.54119610, 1.30656296};
        const double w = 2.0 * 3.14159265358979 * cutoff / kSampleRate, cw = std::cos(w), sw = std::sin(w);
        for (int s = 0; s < 2; ++s) {
            const double alpha = sw / (2.0 * kQ[s]), a0 = 1.0 + alpha;
            stages_[s].b0 = stages_[s].b2 = (1.0 - cw) / 2.0 / a0;
            stages_[s].b1 = (1.0 - cw) / a0;
            stages_[s].a1 = -2.0 * cw / a0;
            stages_[s].a2 = (1.0 - alpha) / a0;
        }
    }
    double run(double x) {
        for (Stage& s : stages_) {
            const double y = s.b0 * x + s.z1;
            s.z1 = s.b1 * x - s.a1 * y + s.z2;
            s.z2 = s.b2 * x - s.a2 * y;
            x = y;
        }
        return x;
    }

private:
    struct Stage {
        double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0, z1 = 0, z2 = 0;
    };
    Stage stages_[2];
};

void check(int status, const char* what) {
    if (status != EBUR128_SUCCESS) throw std::runtime_error(std::string("loudness meter: ") + what + " failed");
}

double toDb(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

using Meter = std::unique_ptr<ebur128_state, void (*)(ebur128_state*)>;

// A meter in the given modes that has seen every sample.
Meter meter(const std::vector<float>& interleaved, int mode) {
    Meter st(ebur128_init(2, kSampleRate, mode), [](ebur128_state* s) { ebur128_destroy(&s); });
    if (!st) throw std::runtime_error("loudness meter: cannot start libebur128");
    const size_t frames = interleaved.size() / 2, chunk = 1 << 16;
    for (size_t pos = 0; pos < frames; pos += chunk)
        check(ebur128_add_frames_float(st.get(), interleaved.data() + 2 * pos, std::min(chunk, frames - pos)),
              "adding samples");
    return st;
}

// The higher of the two channels' readings of a per-channel measure.
double higherChannel(ebur128_state* st, int (*measure)(ebur128_state*, unsigned, double*), const char* what) {
    double highest = 0.0;
    for (unsigned channel = 0; channel < 2; ++channel) {
        double value = 0.0;
        check(measure(st, channel, &value), what);
        highest = std::max(highest, value);
    }
    return highest;
}

}  // namespace

std::string describeLoudness(const LoudnessFigures& f) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%.1f LUFS, range %.1f LU, true peak %.2f dBTP, %lld full-scale samples, %.0f%% of the energy "
                  "below 250 Hz",
                  f.integratedLufs, f.rangeLu, f.truePeakDbtp, static_cast<long long>(f.fullScaleSamples),
                  100.0 * f.lowShare);
    return text;
}

double integratedLoudness(const std::vector<float>& interleaved) {
    const Meter st = meter(interleaved, EBUR128_MODE_I);
    double lufs = 0.0;
    check(ebur128_loudness_global(st.get(), &lufs), "integrated loudness");
    return lufs;
}

LoudnessFigures measureLoudness(const std::vector<float>& interleaved) {
    // The true peak (the meter's oversampling, the costly part) on a second thread.
    LoudnessFigures out;
    std::exception_ptr peakError;
    std::thread peaks([&] {
        try {
            const Meter st = meter(interleaved, EBUR128_MODE_TRUE_PEAK);
            out.truePeakDbtp = toDb(higherChannel(st.get(), ebur128_true_peak, "true peak"));
        } catch (...) {
            peakError = std::current_exception();
        }
    });
    std::exception_ptr error;
    try {
        const Meter st = meter(interleaved, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK);
        check(ebur128_loudness_global(st.get(), &out.integratedLufs), "integrated loudness");
        check(ebur128_loudness_range(st.get(), &out.rangeLu), "loudness range");
        out.samplePeakDbfs = toDb(higherChannel(st.get(), ebur128_sample_peak, "sample peak"));

        const float fullScale = 32767.0f / 32768.0f;
        LowSplit low[2] = {LowSplit(250.0), LowSplit(250.0)};
        double all = 0.0, below = 0.0;
        for (size_t i = 0; i < interleaved.size(); ++i) {
            const double x = interleaved[i];
            if (std::fabs(interleaved[i]) >= fullScale) ++out.fullScaleSamples;
            const double l = low[i & 1].run(x);
            all += x * x;
            below += l * l;
        }
        out.lowShare = all > 0.0 ? below / all : 0.0;
    } catch (...) {
        error = std::current_exception();
    }
    peaks.join();
    if (error) std::rethrow_exception(error);
    if (peakError) std::rethrow_exception(peakError);
    return out;
}

std::vector<float> decodeMp3(const std::vector<uint8_t>& mp3) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> decoder(mpg123_new(nullptr, &err), [](mpg123_handle* mh) {
        mpg123_close(mh);
        mpg123_delete(mh);
    });
    if (!decoder) throw std::runtime_error(std::string("MP3 decoder: ") + mpg123_plain_strerror(err));
    mpg123_handle* mh = decoder.get();
    const auto fail = [mh](const char* what) {
        return std::runtime_error(std::string("MP3 decoder: ") + what + ": " + mpg123_strerror(mh));
    };
    // Float output is never clipped: overs the encoder made stay visible to the meter.
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    mpg123_format_none(mh);
    if (mpg123_format(mh, kSampleRate, MPG123_STEREO, MPG123_ENC_FLOAT_32) != MPG123_OK) throw fail("float output");
    if (mpg123_open_feed(mh) != MPG123_OK) throw fail("open");
    if (mpg123_feed(mh, mp3.data(), mp3.size()) != MPG123_OK) throw fail("feed");

    std::vector<float> pcm;
    std::vector<float> buffer(2 * 16384);
    for (;;) {
        size_t bytes = 0;
        const int result = mpg123_read(mh, reinterpret_cast<unsigned char*>(buffer.data()), buffer.size() * sizeof(float),
                                       &bytes);
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + bytes / sizeof(float));
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) throw fail("format");
            if (rate != kSampleRate || channels != 2 || encoding != MPG123_ENC_FLOAT_32)
                throw std::runtime_error("MP3 decoder: the data are not 44,100 Hz stereo");
            continue;
        }
        if (result == MPG123_OK) continue;
        if (result == MPG123_NEED_MORE || result == MPG123_DONE) break;
        throw fail("decoding");
    }
    if (pcm.empty()) throw std::runtime_error("MP3 decoder: no MPEG audio frames in the data");
    return pcm;
}

}  // namespace contentgen
