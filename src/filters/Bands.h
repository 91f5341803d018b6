#pragma once
// The bands of the neighbourhood filters, which write each row in place once its neighbours are
// read. In bands of rows running side by side, a band reads up to `reach` rows around it, which
// the bands next to it rewrite: those rows are copied before any band starts, and the band reads
// the copies.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "filters/FilterFrame.h"
#include "filters/Parallel.h"

// The rows as they were before the pass, for the band [First, End).
class BandSource {
public:
    BandSource(const PixelRows& rows, int first, int end, int reach)
        : rows_(rows), first_(first), end_(end), aboveFrom_(std::max(first - reach, 0)),
          belowTo_(std::min(end + reach, rows.Height)), rowBytes_(std::size_t(rows.Width) * 3) {}

    int First() const { return first_; }
    int End() const { return end_; }

    // The bytes the copies take, and the copying, into `copies`.
    std::size_t CopyBytes() const { return std::size_t(first_ - aboveFrom_ + belowTo_ - end_) * rowBytes_; }
    void CopyInto(std::uint8_t* copies) {
        copies_ = copies;
        for (int y = aboveFrom_; y < belowTo_; ++y) {
            if (y == first_) y = end_;
            if (y >= belowTo_) break;
            copies = std::copy_n(rows_.Row(y), rowBytes_, copies);
        }
    }

    // Row y as it was: the band's own rows from the picture, which the band reads before it
    // writes them, the copied ones around it, and any further row (which no band writes) from
    // the picture.
    const std::uint8_t* Row(int y) const {
        if (y < first_ && y >= aboveFrom_) return copies_ + std::size_t(y - aboveFrom_) * rowBytes_;
        if (y >= end_ && y < belowTo_) return copies_ + std::size_t(first_ - aboveFrom_ + y - end_) * rowBytes_;
        return rows_.Row(y);
    }

private:
    PixelRows rows_;
    int first_, end_, aboveFrom_, belowTo_;
    std::size_t rowBytes_;
    const std::uint8_t* copies_ = nullptr;
};

// Runs pass(const BandSource&) over bands of the rows [from, to) of `rows`, `bandRows` rows each,
// in parallel. On one thread without a meter the whole range is one band, which needs no copies.
// The copies of all bands share one block, which is not cleared first (a block per band would
// come as fresh pages, each faulted in on first touch), and are made in parallel too.
template <class Pass>
void InBands(const PixelRows& rows, int from, int to, int reach, std::int64_t bandRows, ProgressMeter* meter,
             Pass pass) {
    if (to <= from) return;
    if (WorkerThreads() == 1 && !meter) bandRows = to - from;
    std::vector<BandSource> sources;
    std::vector<std::size_t> copiesAt{0};
    for (std::int64_t first = from; first < to; first += bandRows) {
        sources.emplace_back(rows, int(first), int(std::min<std::int64_t>(first + bandRows, to)), reach);
        copiesAt.push_back(copiesAt.back() + sources.back().CopyBytes());
    }
    const auto copies = std::make_unique_for_overwrite<std::uint8_t[]>(copiesAt.back());
    ParallelBands(std::int64_t(sources.size()), 1, [&](std::int64_t k, std::int64_t) {
        sources[std::size_t(k)].CopyInto(copies.get() + copiesAt[std::size_t(k)]);
    });
    ParallelBands(
        to - from, bandRows, [&](std::int64_t first, std::int64_t) { pass(sources[std::size_t(first / bandRows)]); },
        meter);
}
