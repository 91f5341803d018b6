#pragma once
// Progress reports and cancelling for the long core routines, without Qt: a window passes a
// callback, a routine without one runs as it always did.
#include <algorithm>
#include <cstdint>
#include <functional>

#include "common/Errors.h"

// Told how far a routine has come, `done` of `total` units: done never goes down between calls
// of one run. Returning false cancels the run. The routine may call it from its worker threads,
// one call at a time.
struct ProgressCallback {
    std::function<bool(std::int64_t done, std::int64_t total)> Report;

    explicit operator bool() const { return bool(Report); }
};

// The share [from, to) of a run of `total` units, for a part that reports its own done of its own
// total: so decoding and turning upright, or encoding and writing, tell one rising count. Empty
// when `whole` is, which tells the part that nobody listens. Refers to `whole`.
inline ProgressCallback ProgressPart(const ProgressCallback& whole, std::int64_t from, std::int64_t to,
                                     std::int64_t total) {
    if (!whole) return {};
    return {[&whole, from, to, total](std::int64_t done, std::int64_t partTotal) {
        const std::int64_t share =
            partTotal > 0 ? (to - from) * std::clamp<std::int64_t>(done, 0, partTotal) / partTotal : to - from;
        return whole.Report(from + share, total);
    }};
}

// A routine stopped by its progress callback. The picture it was given is as it was.
class ECancelled : public ECorvalux {
public:
    ECancelled() : ECorvalux("Cancelled") {}
};
