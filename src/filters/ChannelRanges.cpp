#include "filters/ChannelRanges.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "filters/FilterFrame.h"

namespace {
// The byte-wise minima and maxima of one band's whole blocks, and the ranges of its tail bytes.
struct alignas(64) BandRanges {
    Bytes16 Low[3], High[3];
    bool HasBlock = false;
    std::array<ChannelRange, 3> Tails;  // blue, green, red
};
}  // namespace

std::array<ChannelRange, 3> VisibleChannelRanges(const Bitmap& picture, const TRect& selection) {
    // Each band keeps per-byte minima and maxima in three 16-byte vectors, in which byte j of
    // vector k always holds channel (16k + j) mod 3; they are folded into the channels at the end.
    std::vector<BandRanges> bands(std::size_t((VisibleRows(picture, selection) + BandRows - 1) / BandRows));
    for (BandRanges& band : bands)
        for (int k = 0; k < 3; ++k) band.Low[k] = Bytes16{} + 255, band.High[k] = Bytes16{};
    ForEachSelectedRow(picture, selection, nullptr, [&](const std::uint8_t* p, std::size_t bytes, int y) {
        BandRanges& band = bands[std::size_t(y / BandRows)];
        // The row's minima and maxima in locals, which stay in registers, folded into the
        // band's at the end of the row.
        Bytes16 low[3] = {band.Low[0], band.Low[1], band.Low[2]}, high[3] = {band.High[0], band.High[1], band.High[2]};
        SplitBlocks(
            p, bytes,
            [&](const std::uint8_t* block) {
                for (int k = 0; k < 3; ++k) {
                    Bytes16 v;
                    std::memcpy(&v, block + 16 * k, 16);
                    low[k] = Min(v, low[k]);
                    high[k] = Max(v, high[k]);
                }
            },
            [&](std::uint8_t byte, int channel) { band.Tails[std::size_t(channel)].Add(byte); });
        band.HasBlock = band.HasBlock || bytes >= BlockBytes;
        for (int k = 0; k < 3; ++k) band.Low[k] = low[k], band.High[k] = high[k];
    });
    std::array<ChannelRange, 3> ranges;
    for (const BandRanges& band : bands)
        for (std::size_t j = 0; j < BlockBytes; ++j) {
            ChannelRange& range = ranges[j % 3];
            if (j < 3 && band.Tails[j].Max >= 0) range.Add(band.Tails[j].Min), range.Add(band.Tails[j].Max);
            if (band.HasBlock) range.Add(band.Low[j / 16][j % 16]), range.Add(band.High[j / 16][j % 16]);
        }
    return ranges;
}
