#pragma once
// The noise generator: a 32-bit linear congruential generator, seeded from the clock.
#include <cstdint>

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
