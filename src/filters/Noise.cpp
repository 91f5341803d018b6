#include "filters/Noise.h"

#include <chrono>

#include "filters/FilterFrame.h"
#include "filters/Parallel.h"
#include "filters/PlainRules.h"

std::uint32_t MillisecondsSinceUtcMidnight() {
    using namespace std::chrono;
    // The system clock counts UTC days of exactly 86,400 seconds.
    const auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
    const auto perDay = duration_cast<milliseconds>(days(1)).count();
    return static_cast<std::uint32_t>(((sinceEpoch.count() % perDay) + perDay) % perDay);
}
namespace {
// One generator's draws split into three interleaved streams, one per channel: draws
// 3k + 1, 3k + 2 and 3k + 3 serve pixel k's red, green and blue. Each stream steps three
// states at once, so the three multiplications of a pixel do not wait on each other.
class NoiseStreams {
public:
    explicit NoiseStreams(std::uint32_t seed) {
        NoiseGenerator generator(seed);
        for (std::uint32_t& state : states_) {
            generator.Below(0);
            state = generator.State();
        }
    }
    // The draws of the next pixel, red, green, blue.
    void Draw(std::uint32_t range, std::uint32_t (&draws)[3]) {
        for (int c = 0; c < 3; ++c) {
            draws[c] = static_cast<std::uint32_t>((std::uint64_t(states_[c]) * range) >> 32);
            states_[c] = states_[c] * Step3.Multiplier + Step3.Increment;
        }
    }
    // Passes over the draws of `pixels` pixels.
    void Skip(std::uint64_t pixels) {
        const Affine jump = Step3.Power(pixels);
        for (std::uint32_t& state : states_) state = state * jump.Multiplier + jump.Increment;
    }

private:
    // The state step s -> m * s + i (mod 2^32), composed with itself by squaring.
    struct Affine {
        std::uint32_t Multiplier, Increment;
        Affine Then(const Affine& next) const {
            return {next.Multiplier * Multiplier, next.Multiplier * Increment + next.Increment};
        }
        Affine Power(std::uint64_t times) const {
            Affine result{1, 0}, square = *this;
            for (; times != 0; times >>= 1, square = square.Then(square))
                if (times & 1) result = result.Then(square);
            return result;
        }
    };
    static constexpr Affine Step1{NoiseGenerator::Multiplier, 1};
    static constexpr Affine Step3{Step1.Multiplier * Step1.Multiplier * Step1.Multiplier,
                                  Step1.Multiplier* Step1.Multiplier + Step1.Multiplier + 1};
    std::uint32_t states_[3];
};

// v + 2r - a, clamped; in 64 bits so that no amplitude can overflow it.
std::uint8_t Moved(std::uint8_t v, std::uint32_t r, std::int32_t a) {
    const std::int64_t x = v + 2 * std::int64_t(r) - a;
    return x < 0 ? std::uint8_t(0) : x > 255 ? std::uint8_t(255) : std::uint8_t(x);
}

// The plain rule: one generator drawn for every pixel of the selection in turn, red, green,
// blue; the pixels outside the picture use up their draws and are not written.
void PlainNoise(Bitmap& picture, const TRect& selection, std::int32_t a, std::uint32_t seed, ProgressMeter* meter) {
    NoiseGenerator generator(seed);
    const std::uint32_t range = static_cast<std::uint32_t>(a);
    for (std::int64_t y = selection.Top; y <= selection.Bottom; ++y) {
        const bool rowInside = y >= 0 && y < picture.Height();
        for (std::int64_t x = selection.Left; x <= selection.Right; ++x) {
            const std::uint32_t red = generator.Below(range), green = generator.Below(range);
            const std::uint32_t blue = generator.Below(range);
            if (!rowInside || x < 0 || x >= picture.Width()) continue;
            std::uint8_t* p = picture.Pixel(int(x), int(y));
            p[2] = Moved(p[2], red, a);
            p[1] = Moved(p[1], green, a);
            p[0] = Moved(p[0], blue, a);
        }
        if (rowInside) PlainRowDone(meter);
    }
}
}  // namespace

void AddNoise(Bitmap& picture, const TRect& selection, std::int32_t a, std::uint32_t seed,
              const ProgressCallback& progress) {
    // In place on the visible part; pixels of the selection outside the picture still use
    // their draws, so every pixel gets the numbers the whole region's pass gives it.
    const TRect part = VisiblePart(picture, selection);
    if (part.Width() == 0 || part.Height() == 0) return;
    RunCancellable(picture, progress, part.Height(), [&](Bitmap& target, ProgressMeter* meter) {
        if (PlainRulesChosen()) return PlainNoise(target, selection, a, seed, meter);
        NoiseStreams noise(seed);
        const std::uint32_t range = static_cast<std::uint32_t>(a);
        noise.Skip(std::uint64_t(part.Top - std::int64_t(selection.Top)) * std::uint64_t(selection.Width()));
        const std::uint64_t before = std::uint64_t(part.Left - std::int64_t(selection.Left));
        const std::uint64_t after = std::uint64_t(std::int64_t(selection.Right) - part.Right);
        for (int y = part.Top; y <= part.Bottom; ++y) {
            // One sequence of draws, so one thread; the meter hears of every band of rows.
            if (meter && (y - part.Top) % BandRows == 0) {
                if (y > part.Top) meter->Advance(BandRows);
                meter->Check();
            }
            noise.Skip(before);
            std::uint8_t* p = target.Pixel(part.Left, y);
            for (std::int64_t x = 0; x < part.Width(); ++x, p += 3) {
                std::uint32_t r[3];
                noise.Draw(range, r);
                p[2] = Moved(p[2], r[0], a);
                p[1] = Moved(p[1], r[1], a);
                p[0] = Moved(p[0], r[2], a);
            }
            noise.Skip(after);
        }
        if (meter) meter->Advance(part.Height());  // the rest; the meter stops at its total
    });
}
