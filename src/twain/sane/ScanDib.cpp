#include "twain/sane/ScanDib.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "image/DibExtent.h"
#include "image/DibHeader.h"

namespace sanedsm {

TFrame::TFrame(const TFrameLayout& layout) : layout_(layout) {
    if (layout.Lines > 0 && layout.BytesPerLine > 0)
        data_.reserve(std::size_t(layout.Lines) * std::size_t(layout.BytesPerLine));
}

void TFrame::Append(const std::uint8_t* data, std::size_t size) { data_.insert(data_.end(), data, data + size); }

int TFrame::Rows() const {
    if (layout_.BytesPerLine <= 0) return 0;
    const std::size_t rows = data_.size() / std::size_t(layout_.BytesPerLine);
    const std::size_t limit =
        layout_.Lines >= 0 ? std::size_t(layout_.Lines) : std::size_t(std::numeric_limits<int>::max());
    return int(std::min(rows, limit));
}

namespace {
enum class TDibKind { LineArt, Grey, Colour };

// Sample `index` of a row: a 16-bit sample in the machine's byte order, as SANE sends it,
// rounded to the nearest 8-bit value; 8-bit as it is; 1-bit as 0 or 255.
std::uint8_t Sample(const std::uint8_t* row, std::size_t index, int depth) {
    switch (depth) {
        case 16: {
            std::uint16_t value;
            std::memcpy(&value, row + 2 * index, 2);
            return std::uint8_t((value + 128u) / 257u);
        }
        case 8: return row[index];
        default: return (row[index / 8] >> (7 - index % 8)) & 1 ? 255 : 0;
    }
}

std::size_t BandsOf(TFrameFormat format) { return format == TFrameFormat::Rgb ? 3 : 1; }

void CheckLayout(const TFrameLayout& layout) {
    if (layout.Depth != 1 && layout.Depth != 8 && layout.Depth != 16)
        throw EBadScan("the scanner sent " + std::to_string(layout.Depth) + "-bit samples");
    if (layout.PixelsPerLine <= 0 || layout.BytesPerLine <= 0) throw EBadScan("the scanner sent an empty line");
    const std::uint64_t bits =
        std::uint64_t(layout.PixelsPerLine) * BandsOf(layout.Format) * std::uint64_t(layout.Depth);
    if ((bits + 7) / 8 > std::uint64_t(layout.BytesPerLine)) throw EBadScan("the scanner's lines are too short");
}

// Where the DIB's blue, green and red samples come from: the frame that carries each (a grey
// frame carries all three) and the sample's offset within that frame's pixel.
struct TBandSources {
    TDibKind Kind = TDibKind::Colour;
    std::array<const TFrame*, 3> Frame{};
    std::array<std::size_t, 3> Offset{};
};

TBandSources FindBands(const std::vector<TFrame>& frames) {
    TBandSources bands;
    const TFrameLayout& first = frames.front().Layout();
    if (frames.size() == 1 && first.Format == TFrameFormat::Rgb) {
        bands.Frame = {&frames[0], &frames[0], &frames[0]};
        bands.Offset = {2, 1, 0};
        return bands;
    }
    if (frames.size() == 1 && first.Format == TFrameFormat::Gray) {
        bands.Kind = first.Depth == 1 ? TDibKind::LineArt : TDibKind::Grey;
        bands.Frame = {&frames[0], &frames[0], &frames[0]};
        return bands;
    }
    // A three-pass scan: one frame each of blue, green and red, in any order.
    for (const TFrame& frame : frames) {
        const int index = frame.Layout().Format == TFrameFormat::Blue    ? 0
                          : frame.Layout().Format == TFrameFormat::Green ? 1
                          : frame.Layout().Format == TFrameFormat::Red   ? 2
                                                                         : -1;
        if (index < 0 || bands.Frame[index] || frame.Layout().PixelsPerLine != first.PixelsPerLine)
            throw EBadScan("the scanner's colour passes do not fit together");
        bands.Frame[index] = &frame;
    }
    if (!bands.Frame[0] || !bands.Frame[1] || !bands.Frame[2]) throw EBadScan("a colour pass is missing");
    return bands;
}

// The rows every frame holds whole: the fewest of three passes.
int WholeRows(const std::vector<TFrame>& frames) {
    int rows = std::numeric_limits<int>::max();
    for (const TFrame& frame : frames) rows = std::min(rows, frame.Rows());
    return rows;
}

// The depth, colour table and extent of the DIB of one kind; a DIB past the 32-bit size
// fields is refused.
struct TDibSizes {
    int BitCount = 0;
    std::uint32_t Colours = 0;  // entries in the colour table
    DibExtent Extent{};
};

TDibSizes SizesOf(TDibKind kind, int width, int height) {
    TDibSizes sizes;
    sizes.BitCount = kind == TDibKind::LineArt ? 1 : kind == TDibKind::Grey ? 8 : 24;
    sizes.Colours = kind == TDibKind::LineArt ? 2 : kind == TDibKind::Grey ? 256 : 0;
    sizes.Extent = DibExtentOf(std::uint64_t(width), std::uint64_t(height), std::uint64_t(sizes.BitCount),
                               InfoHeaderSize, sizes.Colours, 4);
    if (sizes.Extent.End() > std::numeric_limits<std::uint32_t>::max()) throw EBadScan("the scan is too large");
    return sizes;
}

// The BITMAPINFOHEADER, then the colour table: grey levels, or for line art entry 0 white and
// entry 1 black, so that SANE's bits go in unchanged.
void WriteHeader(std::uint8_t* dib, const TDibSizes& sizes, int width, int height, double dpi) {
    const auto pelsPerMeter = std::uint32_t(std::lround(std::max(0.0, dpi) / 0.0254));
    WriteFields(dib, InfoHeaderWidths,
                {std::uint32_t(InfoHeaderSize), std::uint32_t(width), std::uint32_t(height), 1,
                 std::uint32_t(sizes.BitCount), std::uint32_t(DibCompression::Rgb),
                 std::uint32_t(sizes.Extent.ImageSize), pelsPerMeter, pelsPerMeter, sizes.Colours, 0});
    for (std::uint32_t i = 0; i < sizes.Colours; ++i) {
        const std::uint8_t level = sizes.Colours == 2 ? std::uint8_t(i == 0 ? 255 : 0) : std::uint8_t(i);
        std::uint8_t* entry = dib + InfoHeaderSize + 4 * i;
        entry[0] = entry[1] = entry[2] = level;
    }
}

// Row `y` of the scan as a DIB row of `width` pixels.
void WriteRow(std::uint8_t* out, const TBandSources& bands, int y, int width) {
    const TFrame& first = *bands.Frame[0];
    switch (bands.Kind) {
        case TDibKind::LineArt:
            std::memcpy(out, first.Row(y), std::size_t((width + 7) / 8));
            // Bits past the width stay 0 in the last byte.
            if (width % 8) out[width / 8] &= std::uint8_t(0xFF << (8 - width % 8));
            return;
        case TDibKind::Grey:
            for (int x = 0; x < width; ++x) out[x] = Sample(first.Row(y), std::size_t(x), first.Layout().Depth);
            return;
        case TDibKind::Colour:
            for (int c = 0; c < 3; ++c) {
                const TFrame& source = *bands.Frame[c];
                const std::size_t samples = BandsOf(source.Layout().Format);
                const std::uint8_t* row = source.Row(y);
                for (int x = 0; x < width; ++x)
                    out[3 * x + c] = Sample(row, std::size_t(x) * samples + bands.Offset[c], source.Layout().Depth);
            }
            return;
    }
}
}  // namespace

std::vector<std::uint8_t> BuildPackedDib(const std::vector<TFrame>& frames, double dpi) {
    if (frames.empty()) throw EBadScan("the scanner sent no frame");
    for (const TFrame& frame : frames) CheckLayout(frame.Layout());
    const TBandSources bands = FindBands(frames);
    const int width = frames.front().Layout().PixelsPerLine;
    const int height = WholeRows(frames);
    if (height <= 0) return {};

    const TDibSizes sizes = SizesOf(bands.Kind, width, height);
    const DibExtent& extent = sizes.Extent;
    std::vector<std::uint8_t> dib(std::size_t(extent.End()), 0);
    WriteHeader(dib.data(), sizes, width, height, dpi);
    // Bottom-up: the scan's first row is the DIB's last.
    for (int y = 0; y < height; ++y)
        WriteRow(dib.data() + extent.PixelOffset + std::size_t(height - 1 - y) * std::size_t(extent.Stride), bands, y,
                 width);
    return dib;
}

}  // namespace sanedsm
