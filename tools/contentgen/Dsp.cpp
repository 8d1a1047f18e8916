#include "Dsp.h"

namespace contentgen {

Reverb::Reverb(float roomSize, float damping) : feedback_(roomSize), damp_(damping) {
    static const int kCombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int kAllPassLengths[4] = {556, 441, 341, 225};
    const int spread = 23;
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i < 8; ++i) combs_[side][i].buf.assign(kCombLengths[i] + side * spread, 0.0f);
        for (int i = 0; i < 4; ++i) allPasses_[side][i].buf.assign(kAllPassLengths[i] + side * spread, 0.0f);
    }
}

void Reverb::process(const Stereo& in, Stereo& out, float wet) {
    const size_t n = in.size();
    const float damp1 = damp_, damp2 = 1.0f - damp_;
    for (int side = 0; side < 2; ++side) {
        std::vector<float>& dest = side == 0 ? out.l : out.r;
        for (size_t s = 0; s < n; ++s) {
            const float input = (in.l[s] + in.r[s]) * 0.015f;
            float acc = 0.0f;
            for (Comb& c : combs_[side]) {
                const float y = c.buf[c.pos];
                c.store = y * damp2 + c.store * damp1;
                c.buf[c.pos] = input + c.store * feedback_;
                if (++c.pos == c.buf.size()) c.pos = 0;
                acc += y;
            }
            for (AllPass& a : allPasses_[side]) {
                const float b = a.buf[a.pos];
                a.buf[a.pos] = acc + b * 0.5f;
                if (++a.pos == a.buf.size()) a.pos = 0;
                acc = b - acc;
            }
            dest[s] += acc * wet;
        }
    }
}

void pingPongDelay(const Stereo& in, Stereo& out, int delaySamples, float feedback, float wet) {
    std::vector<float> lineL(delaySamples, 0.0f), lineR(delaySamples, 0.0f);
    float lpL = 0.0f, lpR = 0.0f;
    size_t pos = 0;
    for (size_t s = 0; s < in.size(); ++s) {
        const float dl = lineL[pos], dr = lineR[pos];
        lpL += 0.35f * (dl - lpL);
        lpR += 0.35f * (dr - lpR);
        // Left input enters the left line and crosses sides on every repeat.
        lineL[pos] = (in.l[s] + in.r[s]) * 0.5f + lpR * feedback;
        lineR[pos] = lpL * feedback;
        if (++pos == lineL.size()) pos = 0;
        out.l[s] += dl * wet;
        out.r[s] += dr * wet;
    }
}

}  // namespace contentgen
