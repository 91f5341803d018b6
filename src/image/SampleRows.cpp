#include "image/SampleRows.h"

#include <algorithm>

#include "image/WhiteBackground.h"

namespace {
// One pixel loop per layout, so that the choices are made once a row and not once a sample.
// Extra samples after the used ones are passed over a pixel at a time; without them, the
// pixel's step is a constant.
template <typename Sample, int Colours, bool BlueFirst, AlphaKind Alpha>
void ConvertRowAs(const Sample* in, std::uint8_t* out, std::size_t width, const std::uint8_t* levels,
                  int extraSamples) {
    constexpr int used = Colours + (Alpha == AlphaKind::None ? 0 : 1);
    if (extraSamples > 0) {
        for (std::size_t x = 0; x < width; ++x, in += used + extraSamples, out += 3)
            ConvertRowAs<Sample, Colours, BlueFirst, Alpha>(in, out, 1, levels, 0);
        return;
    }
    auto level = [levels](Sample v) -> unsigned {
        if constexpr (sizeof(Sample) == 1)
            return v;
        else
            return levels[v];
    };
    for (std::size_t x = 0; x < width; ++x, in += used, out += 3) {
        const unsigned first = level(in[0]);
        const unsigned second = Colours == 3 ? level(in[1]) : first;
        const unsigned third = Colours == 3 ? level(in[2]) : first;
        const unsigned b = BlueFirst ? first : third, g = second, r = BlueFirst ? third : first;
        if constexpr (Alpha == AlphaKind::None) {
            out[0] = std::uint8_t(b), out[1] = std::uint8_t(g), out[2] = std::uint8_t(r);
        } else {
            const unsigned a = level(in[Colours]);
            constexpr auto over = Alpha == AlphaKind::Straight ? OverWhite : PremultipliedOverWhite;
            out[0] = over(b, a), out[1] = over(g, a), out[2] = over(r, a);
        }
    }
}

template <typename Sample, int Colours, bool BlueFirst>
void ConvertRowWith(const Sample* in, std::uint8_t* out, std::size_t width, const SampleLayout& layout,
                    const std::uint8_t* levels) {
    const int extra = layout.Extra;
    switch (layout.Alpha) {
        case AlphaKind::None:
            return ConvertRowAs<Sample, Colours, BlueFirst, AlphaKind::None>(in, out, width, levels, extra);
        case AlphaKind::Straight:
            return ConvertRowAs<Sample, Colours, BlueFirst, AlphaKind::Straight>(in, out, width, levels, extra);
        case AlphaKind::Premultiplied:
            return ConvertRowAs<Sample, Colours, BlueFirst, AlphaKind::Premultiplied>(in, out, width, levels, extra);
    }
}

template <typename Sample>
void ConvertRow(const Sample* in, std::uint8_t* out, std::size_t width, const SampleLayout& layout,
                const std::uint8_t* levels) {
    if (layout.Colours == 1) return ConvertRowWith<Sample, 1, false>(in, out, width, layout, levels);
    if (layout.BlueFirst) return ConvertRowWith<Sample, 3, true>(in, out, width, layout, levels);
    ConvertRowWith<Sample, 3, false>(in, out, width, layout, levels);
}
}  // namespace

SampleRowConverter::SampleRowConverter(const SampleLayout& layout) : layout_(layout) {
    if (layout.Bits <= 8) return;
    // Every 16-bit value gets a level, so that a sample past its bits cannot read outside.
    const unsigned top = (1u << std::min(layout.Bits, 16)) - 1;
    levels_.resize(65536);
    for (unsigned v = 0; v < levels_.size(); ++v) levels_[v] = std::uint8_t((std::min(v, top) * 255 + top / 2) / top);
}

void SampleRowConverter::Convert(const void* in, std::uint8_t* out, std::size_t width) const {
    if (layout_.Bits <= 8)
        ConvertRow(static_cast<const std::uint8_t*>(in), out, width, layout_, nullptr);
    else
        ConvertRow(static_cast<const std::uint16_t*>(in), out, width, layout_, levels_.data());
}
