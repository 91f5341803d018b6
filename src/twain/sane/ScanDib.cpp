#include "ScanDib.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace sanedsm {

TFrame::TFrame(const TFrameLayout& layout) : layout_(layout) {
    if (layout.Lines > 0 && layout.BytesPerLine > 0)
        data_.reserve(std::size_t(layout.Lines) * std::size_t(layout.BytesPerLine));
}

void TFrame::Append(const std::uint8_t* data, std::size_t size) { data_.insert(data_.end(), data, data + size); }

int TFrame::Rows() const {
    if (layout_.BytesPerLine <= 0) return 0;
    const std::size_t rows = data_.size() / std::size_t(layout_.BytesPerLine);
    const std::size_t limit = layout_.Lines >= 0 ? std::size_t(layout_.Lines) : std::size_t(std::numeric_limits<int>::max());
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
    const std::uint64_t bits = std::uint64_t(layout.PixelsPerLine) * BandsOf(layout.Format) * std::uint64_t(layout.Depth);
    if ((bits + 7) / 8 > std::uint64_t(layout.BytesPerLine)) throw EBadScan("the scanner's lines are too short");
}

// Little-endian fields of the given byte widths, one after the other.
template <std::size_t N>
void WriteFields(std::uint8_t* out, const std::array<int, N>& widths, const std::array<std::uint32_t, N>& values) {
    for (std::size_t i = 0; i < N; ++i)
        for (int b = 0; b < widths[i]; ++b) *out++ = std::uint8_t(values[i] >> (8 * b));
}

constexpr std::size_t InfoHeaderSize = 40;
// biSize, biWidth, biHeight, biPlanes, biBitCount, biCompression, biSizeImage,
// biXPelsPerMeter, biYPelsPerMeter, biClrUsed, biClrImportant.
constexpr std::array<int, 11> InfoHeaderWidths{4, 4, 4, 2, 2, 4, 4, 4, 4, 4, 4};
}  // namespace

std::vector<std::uint8_t> BuildPackedDib(const std::vector<TFrame>& frames, double dpi) {
    if (frames.empty()) throw EBadScan("the scanner sent no frame");
    for (const TFrame& frame : frames) CheckLayout(frame.Layout());

    // The frame that carries each of blue, green and red (a grey frame carries all three).
    std::array<const TFrame*, 3> band{};
    std::array<std::size_t, 3> bandOffset{};  // sample offset within a pixel
    const TFrameLayout& first = frames.front().Layout();
    TDibKind kind = TDibKind::Colour;
    if (frames.size() == 1 && first.Format == TFrameFormat::Rgb) {
        band = {&frames[0], &frames[0], &frames[0]};
        bandOffset = {2, 1, 0};
    } else if (frames.size() == 1 && first.Format == TFrameFormat::Gray) {
        kind = first.Depth == 1 ? TDibKind::LineArt : TDibKind::Grey;
        band = {&frames[0], &frames[0], &frames[0]};
    } else {
        for (const TFrame& frame : frames) {
            const int index = frame.Layout().Format == TFrameFormat::Blue    ? 0
                              : frame.Layout().Format == TFrameFormat::Green ? 1
                              : frame.Layout().Format == TFrameFormat::Red   ? 2
                                                                             : -1;
            if (index < 0 || band[index] || frame.Layout().PixelsPerLine != first.PixelsPerLine)
                throw EBadScan("the scanner's colour passes do not fit together");
            band[index] = &frame;
        }
        if (!band[0] || !band[1] || !band[2]) throw EBadScan("a colour pass is missing");
    }

    const int width = first.PixelsPerLine;
    int height = std::numeric_limits<int>::max();
    for (const TFrame& frame : frames) height = std::min(height, frame.Rows());
    if (height <= 0) return {};

    const int bitCount = kind == TDibKind::LineArt ? 1 : kind == TDibKind::Grey ? 8 : 24;
    const std::uint32_t colours = kind == TDibKind::LineArt ? 2 : kind == TDibKind::Grey ? 256 : 0;
    const std::uint64_t stride = (std::uint64_t(width) * std::uint64_t(bitCount) + 31) / 32 * 4;
    const std::uint64_t imageSize = stride * std::uint64_t(height);
    const std::uint64_t pixelsAt = InfoHeaderSize + 4u * colours;
    if (imageSize > std::numeric_limits<std::uint32_t>::max() - pixelsAt) throw EBadScan("the scan is too large");

    std::vector<std::uint8_t> dib(std::size_t(pixelsAt + imageSize), 0);
    const auto pelsPerMeter = std::uint32_t(std::lround(std::max(0.0, dpi) / 0.0254));
    WriteFields(dib.data(), InfoHeaderWidths,
                {std::uint32_t(InfoHeaderSize), std::uint32_t(width), std::uint32_t(height), 1,
                 std::uint32_t(bitCount), 0, std::uint32_t(imageSize), pelsPerMeter, pelsPerMeter, colours, 0});
    // Line art: entry 0 white, entry 1 black, so SANE's bits go in unchanged.
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::uint8_t level = colours == 2 ? std::uint8_t(i == 0 ? 255 : 0) : std::uint8_t(i);
        std::uint8_t* entry = dib.data() + InfoHeaderSize + 4 * i;
        entry[0] = entry[1] = entry[2] = level;
    }

    for (int y = 0; y < height; ++y) {
        // Bottom-up: the scan's first row is the DIB's last.
        std::uint8_t* out = dib.data() + pixelsAt + std::size_t(height - 1 - y) * std::size_t(stride);
        if (kind == TDibKind::LineArt) {
            std::memcpy(out, frames[0].Row(y), std::size_t((width + 7) / 8));
            // Bits past the width stay 0 in the last byte.
            if (width % 8) out[width / 8] &= std::uint8_t(0xFF << (8 - width % 8));
            continue;
        }
        if (kind == TDibKind::Grey) {
            for (int x = 0; x < width; ++x) out[x] = Sample(frames[0].Row(y), std::size_t(x), first.Depth);
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            const TFrame& source = *band[c];
            const std::size_t bands = BandsOf(source.Layout().Format);
            const std::uint8_t* row = source.Row(y);
            for (int x = 0; x < width; ++x)
                out[3 * x + c] = Sample(row, std::size_t(x) * bands + bandOffset[c], source.Layout().Depth);
        }
    }
    return dib;
}

}  // namespace sanedsm
