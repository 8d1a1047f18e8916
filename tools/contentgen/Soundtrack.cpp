#include "Soundtrack.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <exception>
#include <stdexcept>
#include <thread>

#include "Score.h"
#include "SoundtrackTiming.h"
#include "Synth.h"

namespace contentgen {
namespace {

// Gain envelope of the instruments ducked under the kick: down at once at each kick, back
// within about a beat, the "pumping" of the pads and bass.
std::vector<float> sidechain(const std::vector<double>& kicks, size_t length) {
    std::vector<float> env(length, 1.0f);
    const size_t span = static_cast<size_t>(0.36 * kSampleRate);
    for (double t : kicks) {
        const int64_t start = sceneTimeToSample(t);
        for (size_t i = 0; i < span; ++i) {
            const int64_t d = start + static_cast<int64_t>(i);
            if (d < 0 || d >= static_cast<int64_t>(length)) continue;
            const float x = static_cast<float>(i) / kSampleRate;
            const float g = 1.0f - 0.8f * std::exp(-x / 0.09f);
            env[d] = std::min(env[d], g);
        }
    }
    return env;
}

// Soft limiter: linear up to the knee, then bending smoothly towards 1.
float limit(float x) {
    const float knee = 0.72f;
    const float a = std::fabs(x);
    if (a <= knee) return x;
    const float y = knee + (1.0f - knee) * std::tanh((a - knee) / (1.0f - knee));
    return x < 0.0f ? -y : y;
}

}  // namespace

Soundtrack renderSoundtrack(const ProgressFn& progress) {
    const size_t length = static_cast<size_t>(kSoundtrackSamples);
    // Where the kicks fall is known before anything sounds, so the ducking envelope is ready for
    // the instruments that follow it.
    Soundtrack out;
    out.kicks = soundtrackKicks();
    const std::vector<float> duck = sidechain(out.kicks, length);

    // Two halves of the band on two threads; their buses are summed in a fixed order, so the
    // result does not depend on which finishes first.
    auto harmony = std::make_unique<Synth>(length, Synth::Voices::Harmony, &duck);
    auto rhythm = std::make_unique<Synth>(length, Synth::Voices::Rhythm, &duck);
    std::exception_ptr rhythmError;
    std::thread rhythmThread([&] {
        try {
            performScore(*rhythm, nullptr);
        } catch (...) {
            rhythmError = std::current_exception();
        }
    });
    performScore(*harmony, [&](double f) {
        if (progress) progress(0.65 * f);
    });
    rhythmThread.join();
    if (rhythmError) std::rethrow_exception(rhythmError);
    auto add = [](Stereo& into, const Stereo& from) {
        for (size_t i = 0; i < into.size(); ++i) {
            into.l[i] += from.l[i];
            into.r[i] += from.r[i];
        }
    };
    add(harmony->dry, rhythm->dry);
    add(harmony->reverbSend, rhythm->reverbSend);
    add(harmony->delaySend, rhythm->delaySend);
    rhythm.reset();
    if (progress) progress(0.7);

    Stereo& mix = harmony->dry;
    Reverb reverb(0.86f, 0.35f);
    reverb.process(harmony->reverbSend, mix, 1.0f);
    if (progress) progress(0.9);
    const int delay = static_cast<int>(std::lround(beatsToSeconds(0.75) * kSampleRate));
    pingPongDelay(harmony->delaySend, mix, delay, 0.42f, 0.8f);
    if (progress) progress(0.95);

    out.pcm.resize(length * 2);
    const float level = 0.56f;
    for (size_t i = 0; i < length; ++i) {
        const float gain = masterGain(secondsToSceneTime(static_cast<double>(i) / kSampleRate)) * level;
        out.pcm[2 * i] = static_cast<int16_t>(std::lround(limit(mix.l[i] * gain) * 30500.0f));
        out.pcm[2 * i + 1] = static_cast<int16_t>(std::lround(limit(mix.r[i] * gain) * 30500.0f));
    }
    if (progress) progress(1.0);
    return out;
}

std::vector<double> soundtrackKicks() {
    Synth score{Synth::ScoreOnly{}};
    performScore(score, nullptr);
    std::vector<double> kicks = score.kicks();
    std::sort(kicks.begin(), kicks.end());
    return kicks;
}

std::vector<uint8_t> encodeMp3(const std::vector<int16_t>& pcm, const ProgressFn& progress) {
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame) throw std::runtime_error("LAME cannot start");
    lame_set_in_samplerate(lame.get(), kSampleRate);
    lame_set_out_samplerate(lame.get(), kSampleRate);
    lame_set_num_channels(lame.get(), 2);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), kMp3Kbps);
    lame_set_quality(lame.get(), kLameQuality);
    lame_set_bWriteVbrTag(lame.get(), 1);  // the info tag carries delay and padding for gapless decoding
    lame_set_write_id3tag_automatic(lame.get(), 0);  // no ID3 tag: the info tag must be the first frame
    lame_set_copyright(lame.get(), 0);
    lame_set_original(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0) throw std::runtime_error("LAME rejects the encoding parameters");

    const size_t frames = pcm.size() / 2;
    const size_t chunk = 1152 * 16;
    std::vector<uint8_t> out;
    out.reserve(frames * 192000 / 8 / kSampleRate + 65536);
    std::vector<unsigned char> buffer(chunk * 5 / 4 + 7200);
    for (size_t pos = 0; pos < frames; pos += chunk) {
        const int n = static_cast<int>(std::min(chunk, frames - pos));
        const int bytes = lame_encode_buffer_interleaved(lame.get(), const_cast<short*>(pcm.data() + 2 * pos), n,
                                                         buffer.data(), static_cast<int>(buffer.size()));
        if (bytes < 0) throw std::runtime_error("LAME encoding failed (" + std::to_string(bytes) + ")");
        out.insert(out.end(), buffer.begin(), buffer.begin() + bytes);
        if (progress) progress(static_cast<double>(pos + n) / frames);
    }
    const int tail = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
    if (tail < 0) throw std::runtime_error("LAME flush failed");
    out.insert(out.end(), buffer.begin(), buffer.begin() + tail);

    // The first frame was reserved for the info tag: fill it in now that the totals are known.
    std::vector<unsigned char> tag(4096);
    const size_t tagBytes = lame_get_lametag_frame(lame.get(), tag.data(), tag.size());
    if (tagBytes == 0 || tagBytes > tag.size() || tagBytes > out.size())
        throw std::runtime_error("LAME produced no info tag");
    std::copy(tag.begin(), tag.begin() + tagBytes, out.begin());
    return out;
}

}  // namespace contentgen
