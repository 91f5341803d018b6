#pragma once
// Progress reports and cancelling for the long core routines, without Qt: a window passes a
// callback, a routine without one runs as it always did.
#include <cstdint>
#include <functional>

#include "Errors.h"

// Told how far a routine has come, `done` of `total` units: done never goes down between calls
// of one run. Returning false cancels the run. The routine may call it from its worker threads,
// one call at a time.
struct ProgressCallback {
    std::function<bool(std::int64_t done, std::int64_t total)> Report;

    explicit operator bool() const { return bool(Report); }
};

// A routine stopped by its progress callback. The picture it was given is as it was.
class ECancelled : public ECorvalux {
public:
    ECancelled() : ECorvalux("Cancelled") {}
};
