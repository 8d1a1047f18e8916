#include "Soundtrack.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <exception>
#include <stdexcept>
#include <thread>

#include "Mastering.h"
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

}  // namespace

std::vector<float> mixSoundtrack(const ProgressFn& progress) {
    const size_t length = static_cast<size_t>(kSoundtrackSamples);
    // Where the kicks fall is known before anything sounds, so the ducking envelope is ready for
    // the instruments that follow it.
    const std::vector<float> duck = sidechain(soundtrackKicks(), length);

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

    // No low end into the reverb and the delay: their tails would only muddy the kick and bass.
    auto highPass = [](Stereo& bus, float cutoff) {
        Svf l, r;
        l.set(cutoff, 0.29f);
        r.set(cutoff, 0.29f);
        for (size_t i = 0; i < bus.size(); ++i) {
            bus.l[i] = l.highpass(bus.l[i]);
            bus.r[i] = r.highpass(bus.r[i]);
        }
    };
    highPass(harmony->reverbSend, 350.0f);
    highPass(harmony->delaySend, 250.0f);
    Stereo& mix = harmony->dry;
    Reverb reverb(0.86f, 0.35f);
    reverb.process(harmony->reverbSend, mix, 1.0f);
    if (progress) progress(0.9);
    const int delay = static_cast<int>(std::lround(beatsToSeconds(0.75) * kSampleRate));
    pingPongDelay(harmony->delaySend, mix, delay, 0.42f, 0.8f);
    if (progress) progress(0.95);

    // The sections' dynamics and the fades, one gain for both sides. Nothing above 16 kHz is
    // left for the encoder's low-pass to cut away: what it would remove from limited peaks
    // comes back as overshoot.
    std::vector<float> out(length * 2);
    Svf top[2][2];
    for (auto& side : top)
        for (Svf& f : side) f.set(16000.0f, 0.29f);
    for (size_t i = 0; i < length; ++i) {
        const double t = secondsToSceneTime(static_cast<double>(i) / kSampleRate);
        const float gain = masterGain(t) * sectionGain(t);
        out[2 * i] = top[0][1].lowpass(top[0][0].lowpass(mix.l[i])) * gain;
        out[2 * i + 1] = top[1][1].lowpass(top[1][0].lowpass(mix.r[i])) * gain;
    }
    if (progress) progress(1.0);
    return out;
}

Soundtrack renderSoundtrack(const ProgressFn& progress) {
    Soundtrack out;
    out.kicks = soundtrackKicks();
    out.pcm = toPcm16(masterMix(mixSoundtrack(progress), kTargetLufs, kMasterCeilingDbtp).samples);
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

namespace {

ProgressFn stageProgress(const StageProgressFn& progress, const char* stage) {
    if (!progress) return nullptr;
    return [&progress, stage](double f) { progress(stage, f); };
}

}  // namespace

EncodedSoundtrack produceSoundtrack(const StageProgressFn& progress) {
    return encodeChecked(mixSoundtrack(stageProgress(progress, "synthesis")), kMasterCeilingDbtp, progress);
}

EncodedSoundtrack encodeChecked(const std::vector<float>& mix, double firstCeilingDbtp, const StageProgressFn& progress) {
    const int kMostMasters = 4;
    EncodedSoundtrack out;
    double ceiling = firstCeilingDbtp, target = kTargetLufs;
    for (out.masters = 1;; ++out.masters) {
        if (progress) progress("mastering", 0.0);
        const MasterResult master = masterMix(mix, target, ceiling);
        if (progress) progress("mastering", 1.0);
        out.mp3 = encodeMp3(toPcm16(master.samples), stageProgress(progress, "MP3 encoding"));
        if (progress) progress("checking", 0.0);
        const std::vector<float> decoded = decodeMp3(out.mp3);
        if (decoded.size() != mix.size())
            throw std::runtime_error("the MP3 decodes to " + std::to_string(decoded.size() / 2) + " frames, not " +
                                     std::to_string(mix.size() / 2));
        out.decoded = measureLoudness(decoded);
        if (progress) progress("checking", 1.0);
        out.ceilingDbtp = ceiling;
        const double over = out.decoded.truePeakDbtp - kMaxTruePeakDbtp;
        const double off = out.decoded.integratedLufs - kTargetLufs;
        const bool peaksFit = over <= 0.0 && out.decoded.fullScaleSamples == 0;
        const bool loudnessFits = std::fabs(off) <= kLoudnessToleranceLu;
        if (peaksFit && loudnessFits) break;
        if (out.masters == kMostMasters)
            throw std::runtime_error("no master meets the limits after " + std::to_string(kMostMasters) +
                                     " tries (last: " + describeLoudness(out.decoded) + ")");
        // The encoder overshot: lower the ceiling by the excess and a margin. (A full-scale
        // sample under a true peak within the limit cannot happen; a margin covers it anyway.)
        if (!peaksFit) ceiling -= std::max(over, 0.0) + 0.3;
        if (!loudnessFits) target -= off;
    }
    if (out.decoded.rangeLu < kMinLoudnessRangeLu)
        throw std::runtime_error("the soundtrack's loudness range is too narrow (" + describeLoudness(out.decoded) +
                                 "; at least " + std::to_string(static_cast<int>(kMinLoudnessRangeLu)) + " LU needed)");
    return out;
}

}  // namespace contentgen
