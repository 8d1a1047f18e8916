#include "Mastering.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <exception>
#include <thread>

#include "Dsp.h"
#include "Loudness.h"

namespace contentgen {
namespace {

constexpr int kTaps = 16;       // per phase of the interpolator: x[i - 7] ... x[i + 8]
constexpr int kLookahead = 66;  // 1.5 ms
constexpr double kReleaseSeconds = 0.12;

// Interpolation filters for the three points between two samples (at 1/4, 2/4, 3/4): windowed
// sinc, Blackman window, each phase normalised to unit gain at DC.
struct Interpolator {
    float h[3][kTaps];
    Interpolator() {
        for (int p = 0; p < 3; ++p) {
            const double frac = (p + 1) / 4.0;
            double sum = 0.0;
            for (int k = 0; k < kTaps; ++k) {
                const double x = (k - 7) - frac;  // distance of tap k from the point
                const double sinc = std::sin(3.14159265358979 * x) / (3.14159265358979 * x);
                const double w = (x + kTaps / 2.0) / kTaps;  // 0 ... 1 across the window
                const double blackman = 0.42 - 0.5 * std::cos(2.0 * 3.14159265358979 * w) +
                                        0.08 * std::cos(4.0 * 3.14159265358979 * w);
                h[p][k] = static_cast<float>(sinc * blackman);
                sum += h[p][k];
            }
            for (int k = 0; k < kTaps; ++k) h[p][k] = static_cast<float>(h[p][k] / sum);
        }
    }
};

// Peak of both channels over [i, i + 1): the sample and the three interpolated points after it.
std::vector<float> truePeaks(const std::vector<float>& in) {
    static const Interpolator filter;
    const size_t frames = in.size() / 2;
    std::vector<float> peaks(frames, 0.0f);
    for (int c = 0; c < 2; ++c) {
        for (size_t i = 0; i < frames; ++i) {
            float peak = std::fabs(in[2 * i + c]);
            if (i >= 7 && i + 8 < frames) {
                const float* x = in.data() + 2 * (i - 7) + c;
                for (int p = 0; p < 3; ++p) {
                    float y = 0.0f;
                    for (int k = 0; k < kTaps; ++k) y += filter.h[p][k] * x[2 * k];
                    peak = std::max(peak, std::fabs(y));
                }
            }
            peaks[i] = std::max(peaks[i], peak);
        }
    }
    return peaks;
}

// The limiter on peaks found beforehand (they do not depend on the gain).
std::vector<float> limit(const std::vector<float>& in, const std::vector<float>& peaks, float gain, float ceiling) {
    const size_t frames = in.size() / 2;
    // The gain each stretch needs, the lowest over the look-ahead window [i, i + L]...
    std::vector<float> need(frames);
    std::deque<size_t> window;  // indices of increasing required gain
    auto required = [&](size_t i) { return std::min(1.0f, ceiling / std::max(gain * peaks[i], 1e-9f)); };
    for (size_t j = 0; j < frames + kLookahead; ++j) {
        if (j < frames) {
            const float r = required(j);
            while (!window.empty() && required(window.back()) >= r) window.pop_back();
            window.push_back(j);
        }
        if (j < static_cast<size_t>(kLookahead)) continue;
        const size_t i = j - kLookahead;
        while (window.front() < i) window.pop_front();
        need[i] = required(window.front());
    }
    // ...averaged over the L + 1 samples before: every average that reaches sample i includes a
    // window holding i, so the smooth curve never exceeds what sample i needs...
    std::vector<float> out(in.size());
    const double release = 1.0 - std::exp(-1.0 / (kReleaseSeconds * kSampleRate));
    double sum = 0.0, g = 1.0;
    for (size_t i = 0; i < frames; ++i) {
        sum += need[i];
        if (i > static_cast<size_t>(kLookahead)) sum -= need[i - kLookahead - 1];
        // (Before the start the curve stands at need[0], the lowest of the first window.)
        const double smooth = i >= static_cast<size_t>(kLookahead)
                                  ? sum / (kLookahead + 1)
                                  : (sum + static_cast<double>(kLookahead - i) * need[0]) / (kLookahead + 1);
        // ...and rising again no faster than the release.
        g = std::min(smooth, g + (1.0 - g) * release);
        const float total = static_cast<float>(g) * gain;
        out[2 * i] = in[2 * i] * total;
        out[2 * i + 1] = in[2 * i + 1] * total;
    }
    return out;
}

}  // namespace

std::vector<float> limitTruePeak(const std::vector<float>& in, float gain, float ceiling) {
    return limit(in, truePeaks(in), gain, ceiling);
}

MasterResult masterMix(const std::vector<float>& mix, double targetLufs, double ceilingDbtp) {
    const float ceiling = static_cast<float>(std::pow(10.0, ceilingDbtp / 20.0));
    // The peaks between the samples are found on a second thread while the mix is measured.
    std::vector<float> peaks;
    std::exception_ptr peakError;
    std::thread finder([&] {
        try {
            peaks = truePeaks(mix);
        } catch (...) {
            peakError = std::current_exception();
        }
    });
    MasterResult result;
    try {
        result.gainDb = targetLufs - integratedLoudness(mix);
    } catch (...) {
        finder.join();
        throw;
    }
    finder.join();
    if (peakError) std::rethrow_exception(peakError);
    for (int pass = 0; pass < 2; ++pass) {
        result.samples = limit(mix, peaks, static_cast<float>(std::pow(10.0, result.gainDb / 20.0)), ceiling);
        result.lufs = integratedLoudness(result.samples);
        if (pass == 0) result.gainDb += targetLufs - result.lufs;
    }
    return result;
}

std::vector<int16_t> toPcm16(const std::vector<float>& master) {
    std::vector<int16_t> pcm(master.size());
    for (size_t i = 0; i < master.size(); ++i)
        pcm[i] = static_cast<int16_t>(std::lround(std::max(-32768.0f, std::min(32767.0f, master[i] * 32768.0f))));
    return pcm;
}

}  // namespace contentgen
