#pragma once
// Add noise, and its generator: a 32-bit linear congruential generator, seeded from the clock.
#include <cstdint>

#include "image/Bitmap.h"
#include "image/Progress.h"
#include "image/Rect.h"

class NoiseGenerator {
public:
    explicit NoiseGenerator(std::uint32_t seed) : state_(seed) {}

    // A number in 0..range - 1: the high 32 bits of state * range, after the state step.
    std::uint32_t Below(std::uint32_t range) {
        state_ = state_ * Multiplier + 1u;
        return static_cast<std::uint32_t>((std::uint64_t(state_) * range) >> 32);
    }
    std::uint32_t State() const { return state_; }

    static constexpr std::uint32_t Multiplier = 134775813u;

private:
    std::uint32_t state_;
};

// Milliseconds since midnight, UTC: the default noise seed.
std::uint32_t MillisecondsSinceUtcMidnight();

// Moves every channel by 2r - a, r drawn uniformly from 0..a - 1 (red, green, blue per pixel,
// pixels in selection order), clamped. The generator starts at `seed`. One thread: the draws
// are one sequence. With a callback it reports rows done, and a cancel leaves the picture.
void AddNoise(Bitmap& picture, const TRect& selection, std::int32_t a, std::uint32_t seed,
              const ProgressCallback& progress = {});
