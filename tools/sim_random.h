// Deterministic pseudo-random numbers for the simulated receiver.
//
// The standard distributions differ between C++ libraries, so a seed would not
// give the same sky and track everywhere; splitmix64 with our own scaling does.
#pragma once

#include <cstdint>

class SimRandom {
  public:
    explicit SimRandom(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // In [lo, hi).
    double uniform(double lo, double hi) {
        return lo + (hi - lo) * static_cast<double>(next() >> 11) * 0x1.0p-53;
    }

    // In [lo, hi], both inclusive.
    int uniformInt(int lo, int hi) {
        const uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
        return lo + static_cast<int>(next() % span);
    }

    bool chance(double probability) { return uniform(0.0, 1.0) < probability; }

  private:
    uint64_t state_;
};
