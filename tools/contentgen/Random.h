#pragma once
// Deterministic pseudo-random numbers for the generator: the same seed gives the same sequence on
// every machine and every run (no std:: distributions, whose output is implementation-defined).
#include <cstdint>

namespace contentgen {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    // splitmix64: full-period 64-bit sequence.
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1), 53 bits.
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Uniform integer in [0, n); n > 0.
    uint32_t below(uint32_t n) { return static_cast<uint32_t>((next() >> 32) * n >> 32); }

private:
    uint64_t state_;
};

// A stateless hash of integer coordinates into [0, 1): the lattice values of the noise functions.
inline uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

}  // namespace contentgen
