#pragma once
// Scanned frames as SANE delivers them, and the packed DIB a native transfer hands over:
// a 40-byte BITMAPINFOHEADER, the colour table, then bottom-up rows padded to 4 bytes.
// Colour becomes 24-bit blue-green-red, grey 8-bit through a 256-grey table, line art 1-bit
// through a two-entry table (SANE's 1 is black). 16-bit samples are reduced to 8.
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace sanedsm {

// SANE's frame kinds that carry pixels: one grey band, interleaved red-green-blue, or one
// band of a three-pass colour scan.
enum class TFrameFormat { Gray, Rgb, Red, Green, Blue };

struct TFrameLayout {
    TFrameFormat Format = TFrameFormat::Gray;
    int Depth = 8;         // bits per sample: 1, 8 or 16
    int BytesPerLine = 0;  // may exceed what the pixels need
    int PixelsPerLine = 0;
    int Lines = -1;  // -1: not known until the scan ends (a hand scanner)
};

// One frame's bytes as they arrive. The buffer grows as data comes, so a scan of unknown
// height needs no size in advance; a known height reserves its size at once.
class TFrame {
public:
    explicit TFrame(const TFrameLayout& layout);
    void Append(const std::uint8_t* data, std::size_t size);
    const TFrameLayout& Layout() const { return layout_; }
    // Whole rows received, never more than a known height.
    int Rows() const;
    const std::uint8_t* Row(int y) const { return data_.data() + std::size_t(y) * std::size_t(layout_.BytesPerLine); }
    std::size_t Size() const { return data_.size(); }

private:
    TFrameLayout layout_;
    std::vector<std::uint8_t> data_;
};

// A scan the DIB cannot be built from: inconsistent frames or a layout SANE does not define.
class EBadScan : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The packed DIB of one image: one Gray or Rgb frame, or the Red, Green and Blue frames of a
// three-pass scan in any order. Its height is the rows received (the fewest of three
// passes); a scan with no whole row gives an empty result. Resolution fields from `dpi`.
std::vector<std::uint8_t> BuildPackedDib(const std::vector<TFrame>& frames, double dpi);

}  // namespace sanedsm
