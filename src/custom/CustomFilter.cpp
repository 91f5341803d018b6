#include "custom/CustomFilter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <memory>
#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

#include <sys/mman.h>

#include "custom/CompiledFormula.h"
#include "filters/FilterFrame.h"
#include "custom/FormulaCheck.h"
#include "image/FreeDeleter.h"
#include "filters/Parallel.h"
#include "custom/PixelFormula.h"
#include "filters/PlainRules.h"

namespace {

constexpr std::int64_t RowsPerBand = 16;
constexpr std::int64_t KeysPerBand = 4096;

// A table of `bytes`, not cleared. The writing pass reads a 16 MB table at colour-dependent
// places, and with 4 KB pages nearly every read misses the address cache too: a large table is
// placed on 2 MB boundaries and asked for 2 MB pages (a hint the kernel may ignore).
template <class Cell>
std::unique_ptr<Cell[], FreeDeleter> LargeTable(std::size_t count) {
    constexpr std::size_t Huge = std::size_t(2) << 20;
    const std::size_t bytes = count * sizeof(Cell);
    if (bytes < Huge) {
        void* p = std::malloc(bytes);
        if (!p) throw std::bad_alloc();
        return std::unique_ptr<Cell[], FreeDeleter>(static_cast<Cell*>(p));
    }
    void* p = std::aligned_alloc(Huge, (bytes + Huge - 1) / Huge * Huge);
    if (!p) throw std::bad_alloc();
    ::madvise(p, (bytes + Huge - 1) / Huge * Huge, MADV_HUGEPAGE);
    return std::unique_ptr<Cell[], FreeDeleter>(static_cast<Cell*>(p));
}

// The old values of the channels a formula reads, as one key: 256 keys for one channel, 65536
// for two, 2^24 for three, one for none. The values' bits are interleaved (bit i of the j-th
// channel used goes to bit n * i + j, n channels), so that similar colours, which neighbouring
// pixels of a photo have, get nearby keys and share cache lines in the tables.
class KeySpace {
public:
    explicit KeySpace(unsigned channels) : channels_(channels) {
        int n = 0;
        for (int c = 0; c < 3; ++c) n += (channels >> c) & 1;
        int j = 0;
        for (int c = 0; c < 3; ++c) {
            const bool used = channels & (1u << c);
            lane_[c] = used ? j : -1;
            for (std::uint32_t v = 0; v < 256; ++v) {
                std::uint32_t key = 0;
                for (int i = 0; i < 8 && used; ++i) key |= ((v >> i) & 1u) << (n * i + j);
                keys_[c][v] = key;
            }
            if (used) ++j;
        }
        lanes_ = n;
        size_ = std::int64_t(1) << (8 * n);
        needed_.reset(new std::atomic<std::uint64_t>[std::size_t((size_ + 63) / 64)]());
    }

    unsigned Channels() const { return channels_; }
    std::int64_t Size() const { return size_; }

    std::uint32_t Key(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
        return keys_[0][r] | keys_[1][g] | keys_[2][b];
    }
    std::uint8_t Value(std::uint32_t key, int channel) const {
        if (lane_[channel] < 0) return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 8; ++i) v |= ((key >> (lanes_ * i + lane_[channel])) & 1u) << i;
        return std::uint8_t(v);
    }

    // Marks the key of (r, g, b) as met. The word is read first: most keys are met many times,
    // and a plain read keeps its cache line shared between the threads.
    void Need(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::uint32_t key = Key(r, g, b);
        std::atomic<std::uint64_t>& word = needed_[key >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (key & 63);
        if (!(word.load(std::memory_order_relaxed) & bit)) word.fetch_or(bit, std::memory_order_relaxed);
    }
    // Keys 64 * word .. 64 * word + 63 that are needed, as bits; the bands of keys are whole words.
    std::uint64_t NeededWord(std::int64_t word) const { return needed_[word].load(std::memory_order_relaxed); }

    // What the writing pass needs, to be held in registers.
    struct Lookup {
        const std::uint32_t *Red, *Green, *Blue;
        const std::uint8_t* Values;
        std::uint8_t operator()(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
            return Values[Red[r] | Green[g] | Blue[b]];
        }
    };
    Lookup LookupIn(const std::uint8_t* values) const {
        return {keys_[0].data(), keys_[1].data(), keys_[2].data(), values};
    }

private:
    unsigned channels_;
    int lane_[3], lanes_;
    std::array<std::uint32_t, 256> keys_[3];
    std::int64_t size_;
    std::unique_ptr<std::atomic<std::uint64_t>[]> needed_;
};

// One channel's formula with its results by key. Compiled when that equals the plain rule,
// else evaluated through the text, with a parser of its own for every band.
class ChannelRule {
public:
    explicit ChannelRule(const std::string& text)
        : text_(text), channels_(ChannelsOf(text)), compiles_(NamesStandAlone(text)) {
        if (compiles_) compiled_.emplace(text);
    }
    bool Compiles() const { return compiles_; }
    unsigned Channels() const { return channels_; }
    const std::string& Text() const { return text_; }
    // The results by key: this rule's own, or those of an earlier rule with the same text.
    const std::uint8_t* Results() const { return SameAs ? SameAs->Values.get() : Values.get(); }

    class Evaluator {
    public:
        explicit Evaluator(const ChannelRule& rule) : compiled_(rule.compiled_ ? &*rule.compiled_ : nullptr) {
            if (!compiled_) text_.emplace(rule.text_);
        }
        std::uint8_t operator()(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
            return compiled_ ? compiled_->Evaluate(r, g, b) : text_->Evaluate(r, g, b);
        }

    private:
        const TCompiledFormula* compiled_;
        std::optional<TPixelFormula> text_;
    };

    KeySpace* Space = nullptr;
    const ChannelRule* SameAs = nullptr;
    std::unique_ptr<std::uint8_t[], FreeDeleter> Values;  // by key; read only where Space says Needed

private:
    std::string text_;
    unsigned channels_;
    bool compiles_;
    std::optional<TCompiledFormula> compiled_;
};

// Marks every colour the plain rule would evaluate: the visible pixels and, when the selection
// reaches outside the picture, the black that the region copy reads there.
void MarkNeeded(const Bitmap& picture, const TRect& selection, const std::vector<KeySpace*>& spaces,
                ProgressMeter& meter) {
    const TRect part = VisiblePart(picture, selection);
    if (part.Width() == 0 || part.Height() == 0 || part.Left != selection.Left || part.Top != selection.Top ||
        part.Right != selection.Right || part.Bottom != selection.Bottom)
        for (KeySpace* space : spaces) space->Need(0, 0, 0);
    ParallelBands(
        part.Height(), RowsPerBand,
        [&](std::int64_t first, std::int64_t last) {
            for (std::int64_t y = first; y < last; ++y) {
                const std::uint8_t* p = picture.Pixel(part.Left, int(part.Top + y));
                const std::uint8_t* const end = p + part.Width() * 3;
                std::uint32_t previous = 0xFFFFFFFF;  // no colour: a run of one colour is marked once
                for (; p != end; p += 3) {
                    const std::uint32_t color = PackColor(p[2], p[1], p[0]);
                    if (color == previous) continue;
                    previous = color;
                    for (KeySpace* space : spaces) space->Need(p[2], p[1], p[0]);
                }
            }
        },
        &meter, 1);
}

// Works out each rule's result for every key its space needs.
void EvaluateNeeded(KeySpace& space, const std::vector<ChannelRule*>& rules, ProgressMeter& meter) {
    for (ChannelRule* rule : rules) rule->Values = LargeTable<std::uint8_t>(std::size_t(space.Size()));
    if (rules.empty()) return;
    // The compiled formulas as one program, so that what they share is worked out once; the
    // others each through their text.
    std::vector<ChannelRule*> compiled, textual;
    std::vector<std::string> compiledTexts;
    for (ChannelRule* rule : rules) {
        (rule->Compiles() ? compiled : textual).push_back(rule);
        if (rule->Compiles()) compiledTexts.push_back(rule->Text());
    }
    const TCompiledFormulas together(compiledTexts);
    ParallelBands(
        space.Size(), KeysPerBand,
        [&](std::int64_t first, std::int64_t last) {
            std::vector<ChannelRule::Evaluator> evaluators;  // made once a key is needed
            std::uint8_t results[3];
            // Word by word: most words of a large space are empty in a small selection.
            for (std::int64_t word = first / 64; word * 64 < last; ++word) {
                for (std::uint64_t bits = space.NeededWord(word); bits != 0; bits &= bits - 1) {
                    const std::uint32_t key = std::uint32_t(word * 64 + std::countr_zero(bits));
                    if (evaluators.empty())
                        for (ChannelRule* rule : textual) evaluators.emplace_back(*rule);
                    const std::uint8_t r = space.Value(key, 0), g = space.Value(key, 1), b = space.Value(key, 2);
                    if (!compiled.empty()) {
                        together.Evaluate(r, g, b, results);
                        for (std::size_t i = 0; i < compiled.size(); ++i) compiled[i]->Values[key] = results[i];
                    }
                    for (std::size_t i = 0; i < textual.size(); ++i) textual[i]->Values[key] = evaluators[i](r, g, b);
                }
            }
        },
        &meter, 1);
}

// A selection of few pixels against tables of up to 2^24 entries: each pixel is worked out
// in turn, all of them before anything is written.
constexpr std::int64_t FewPixels = 4096;

void FilterFewPixels(Bitmap& picture, const TRect& selection, ChannelRule* const (&rules)[3], ProgressMeter& meter) {
    ChannelRule::Evaluator red(*rules[0]), green(*rules[1]), blue(*rules[2]);
    const TRect part = VisiblePart(picture, selection);
    if (part.Width() != selection.Width() || part.Height() != selection.Height()) {
        red(0, 0, 0), green(0, 0, 0), blue(0, 0, 0);  // the black the region copy reads outside
    }
    std::vector<std::uint8_t> results;
    results.reserve(std::size_t(part.Width() * part.Height() * 3));
    for (int y = part.Top; y < part.Top + part.Height(); ++y) {
        const std::uint8_t* p = picture.Pixel(part.Left, y);
        for (int x = 0; x < part.Width(); ++x, p += 3)
            results.insert(results.end(), {blue(p[2], p[1], p[0]), green(p[2], p[1], p[0]), red(p[2], p[1], p[0])});
    }
    meter.Advance(part.Height());
    meter.Check();
    const std::uint8_t* from = results.data();
    for (int y = part.Top; y < part.Top + part.Height(); ++y, from += part.Width() * 3)
        std::copy_n(from, part.Width() * 3, picture.Pixel(part.Left, y));
}

}  // namespace

// Every value a formula computes from finite numbers is finite or overflows (ParserMath.h), so
// the only failure a run can meet is EOverflow, the same wherever it is met: the results can be
// worked out in any order, and all of them are before anything is written.
void CustomFilter(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas,
                  const ProgressCallback& progress) {
    // The region copy of an empty selection has no pixels to evaluate.
    if (selection.Width() <= 0 || selection.Height() <= 0) return;
    if (PlainRulesChosen()) return PlainCustomFilter(picture, selection, formulas, progress);
    ChannelRule red(formulas.Red), green(formulas.Green), blue(formulas.Blue);
    ChannelRule* const rules[3] = {&red, &green, &blue};
    if (selection.Width() * selection.Height() <= FewPixels) {
        ProgressMeter meter(progress, VisiblePart(picture, selection).Height());
        FilterFewPixels(picture, selection, rules, meter);
        return;
    }

    // Formulas reading the same channels share their keys.
    std::vector<std::unique_ptr<KeySpace>> spaces;
    for (ChannelRule* rule : rules) {
        for (const auto& space : spaces)
            if (space->Channels() == rule->Channels()) rule->Space = space.get();
        if (!rule->Space) {
            spaces.push_back(std::make_unique<KeySpace>(rule->Channels()));
            rule->Space = spaces.back().get();
        }
    }
    std::vector<KeySpace*> spaceList;
    std::int64_t total = VisiblePart(picture, selection).Height();
    for (const auto& space : spaces) {
        spaceList.push_back(space.get());
        total += space->Size();
    }

    ProgressMeter meter(progress, total);
    MarkNeeded(picture, selection, spaceList, meter);
    // A formula written again (the same for every channel, say) is worked out once.
    for (int i = 1; i < 3; ++i)
        for (int k = 0; k < i && !rules[i]->SameAs; ++k)
            if (!rules[k]->SameAs && rules[k]->Text() == rules[i]->Text()) rules[i]->SameAs = rules[k];
    for (KeySpace* space : spaceList) {
        std::vector<ChannelRule*> sharing;
        for (ChannelRule* rule : rules)
            if (rule->Space == space && !rule->SameAs) sharing.push_back(rule);
        EvaluateNeeded(*space, sharing, meter);
    }
    meter.Check();

    // Nothing can fail now: write in place, as the region copy would have drawn it back.
    // The lookups are copied out so that the byte stores cannot make them be read again.
    const KeySpace::Lookup newRed = red.Space->LookupIn(red.Results());
    const KeySpace::Lookup newGreen = green.Space->LookupIn(green.Results());
    const KeySpace::Lookup newBlue = blue.Space->LookupIn(blue.Results());
    const TRect part = VisiblePart(picture, selection);
    ParallelBands(part.Height(), RowsPerBand, [&](std::int64_t first, std::int64_t last) {
        const KeySpace::Lookup toRed = newRed, toGreen = newGreen, toBlue = newBlue;
        for (std::int64_t y = first; y < last; ++y) {
            std::uint8_t* p = picture.Pixel(part.Left, int(part.Top + y));
            std::uint8_t* const end = p + part.Width() * 3;
            for (; p != end; p += 3) {
                const std::uint8_t b = p[0], g = p[1], r = p[2];
                const std::uint8_t red2 = toRed(r, g, b), green2 = toGreen(r, g, b), blue2 = toBlue(r, g, b);
                p[0] = blue2;
                p[1] = green2;
                p[2] = red2;
            }
        }
    });
}

void CheckedCustomFilter(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas,
                         const ProgressCallback& progress) {
    RequireValidFormulas(formulas);
    CustomFilter(picture, selection, formulas, progress);
}

void PlainCustomFilter(Bitmap& picture, const TRect& selection, const TFilterFormulas& formulas,
                       const ProgressCallback& progress) {
    TPixelFormula red(formulas.Red), green(formulas.Green), blue(formulas.Blue);
    ProgressMeter meter(progress, std::max<std::int64_t>(selection.Height(), 0));
    // The region copy is drawn back only once every row is done: a failure or a cancel leaves
    // the picture as it was.
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
            PlainRowDone(&meter);
        }
    });
}
