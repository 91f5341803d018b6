#include "CustomFilter.h"

#include <array>
#include <memory>
#include <vector>

#include "FilterFrame.h"
#include "FormulaCheck.h"
#include "PixelFormula.h"

namespace {

// A formula with its results remembered, keyed by the old values of the channels it reads
// packed side by side: 256 entries for one channel, 65536 for two, 2^24 for three, one for
// none. Entries are worked out when a pixel first needs them.
class TRememberedFormula {
public:
    explicit TRememberedFormula(const std::string& text) : formula_(text) {
        int bits = 0;
        for (const auto& [channel, keys] : {std::pair{RedChannel, &redKeys_}, {GreenChannel, &greenKeys_},
                                            {BlueChannel, &blueKeys_}}) {
            for (std::uint32_t v = 0; v < 256; ++v) (*keys)[v] = formula_.Channels() & channel ? v << bits : 0;
            if (formula_.Channels() & channel) bits += 8;
        }
        const std::size_t size = std::size_t(1) << bits;
        values_.reset(new std::uint8_t[size]);  // read only once known_ has the entry
        known_.assign((size + 63) / 64, 0);
    }

    std::uint32_t Key(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
        return redKeys_[r] | greenKeys_[g] | blueKeys_[b];
    }

    // Works out the result for old values (r, g, b) unless it is known. Throws what the
    // parser throws.
    void Learn(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::uint32_t key = Key(r, g, b);
        if (!(known_[key >> 6] & Bit(key))) [[unlikely]]
            Evaluate(key, r, g, b);
    }

    // What the writing pass needs, to be held in registers: the results for old values
    // (r, g, b) that Learn has seen.
    struct TLookup {
        const std::uint32_t *RedKeys, *GreenKeys, *BlueKeys;
        const std::uint8_t* Values;
        std::uint8_t operator()(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
            return Values[RedKeys[r] | GreenKeys[g] | BlueKeys[b]];
        }
    };
    TLookup Lookup() const { return {redKeys_.data(), greenKeys_.data(), blueKeys_.data(), values_.get()}; }

private:
    static std::uint64_t Bit(std::uint32_t key) { return std::uint64_t(1) << (key & 63); }

    [[gnu::noinline]] void Evaluate(std::uint32_t key, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        values_[key] = formula_.Evaluate(r, g, b);
        known_[key >> 6] |= Bit(key);
    }

    TPixelFormula formula_;
    std::array<std::uint32_t, 256> redKeys_, greenKeys_, blueKeys_;
    std::unique_ptr<std::uint8_t[]> values_;
    std::vector<std::uint64_t> known_;
};

// Works out every result the selection needs, in the order in which the plain rule meets
// them: rows top to bottom, pixels left to right, red, green and blue formula. So an
// overflow stops the run where that rule would stop it, before any pixel is written.
// A colour met before has nothing new to teach, which one bit per colour tells cheaply.
//
// The rule runs on the part of the selection outside the picture too, where the region
// copy reads black; only its first black pixel can need anything new, so black is learnt
// at each place where a run of black pixels can start (later times cost nothing).
void LearnSelection(const Bitmap& picture, const TRect& selection, TRememberedFormula& red,
                    TRememberedFormula& green, TRememberedFormula& blue) {
    std::vector<std::uint64_t> seen(std::size_t(1) << 24 >> 6);
    auto learn = [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::uint32_t color = PackColor(r, g, b);
        std::uint64_t& word = seen[color >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (color & 63);
        if (word & bit) return;
        red.Learn(r, g, b);
        green.Learn(r, g, b);
        blue.Learn(r, g, b);
        word |= bit;
    };
    const TRect part = VisiblePart(picture, selection);
    if (part.Width() == 0 || part.Height() == 0) {
        learn(0, 0, 0);
        return;
    }
    if (selection.Top < part.Top || selection.Left < part.Left) learn(0, 0, 0);
    for (int y = part.Top; y <= part.Bottom; ++y) {
        const std::uint8_t* p = picture.Pixel(part.Left, y);
        const std::uint8_t* const end = p + part.Width() * 3;
        for (; p != end; p += 3) learn(p[2], p[1], p[0]);
        if (selection.Right > part.Right) learn(0, 0, 0);
    }
    if (selection.Bottom > part.Bottom) learn(0, 0, 0);
}

}  // namespace

void CustomFilter(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas) {
    TRememberedFormula red(formulas.Red), green(formulas.Green), blue(formulas.Blue);
    LearnSelection(picture, selection, red, green, blue);
    // Nothing can fail now: write in place, as the region copy would have drawn it back.
    // The lookups are copied out so that the byte stores cannot make them be read again.
    const TRememberedFormula::TLookup newRed = red.Lookup(), newGreen = green.Lookup(), newBlue = blue.Lookup();
    const TRect part = VisiblePart(picture, selection);
    for (int y = part.Top; y < part.Top + part.Height(); ++y) {
        std::uint8_t* p = picture.Pixel(part.Left, y);
        std::uint8_t* const end = p + part.Width() * 3;
        for (; p != end; p += 3) {
            const std::uint8_t b = p[0], g = p[1], r = p[2];
            const std::uint8_t red2 = newRed(r, g, b), green2 = newGreen(r, g, b), blue2 = newBlue(r, g, b);
            p[0] = blue2;
            p[1] = green2;
            p[2] = red2;
        }
    }
}

void CheckedCustomFilter(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas) {
    RequireValidFormulas(formulas);
    CustomFilter(picture, selection, formulas);
}

void PlainCustomFilter(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas) {
    TPixelFormula red(formulas.Red), green(formulas.Green), blue(formulas.Blue);
    FilterFrame(picture, selection, [&](Bitmap& region) {
        for (int y = 0; y < region.Height(); ++y) {
            std::uint8_t* p = region.Row(y);
            for (int x = 0; x < region.Width(); ++x, p += 3) {
                const std::uint8_t b = p[0], g = p[1], r = p[2];
                const std::uint8_t newRed = red.Evaluate(r, g, b);
                const std::uint8_t newGreen = green.Evaluate(r, g, b);
                const std::uint8_t newBlue = blue.Evaluate(r, g, b);
                p[0] = newBlue;
                p[1] = newGreen;
                p[2] = newRed;
            }
        }
    });
}
