#pragma once
// A codec's way through the rows of one picture, told to a progress callback once per row or
// band of rows.
#include <cstdint>
#include <exception>

#include "image/Progress.h"

class RowProgress {
public:
    // Without a callback every report answers true at the cost of a test.
    explicit RowProgress(const ProgressCallback& progress) : progress_(progress) {}
    RowProgress(const RowProgress&) = delete;
    RowProgress& operator=(const RowProgress&) = delete;

    // `done` of `total` rows are finished (total fixed for the run); told only when done has
    // grown. False once the run must stop: the callback answered false or threw. Never throws,
    // so the C-style functions that hold libjpeg's and libpng's setjmp may call it and leave
    // through the library's error path.
    bool Report(std::int64_t done, std::int64_t total) noexcept {
        if (!progress_ || done <= reported_) return !stopped_;
        return Tell(done, total);
    }
    // For plain C++ loops: Report, throwing as ThrowStop when the run must stop.
    void Check(std::int64_t done, std::int64_t total) {
        if (!Report(done, total)) ThrowStop();
    }
    // Whether a report has stopped the run; then ThrowStop rethrows what the callback threw, or
    // throws ECancelled.
    bool Stopped() const { return stopped_; }
    [[noreturn]] void ThrowStop() const;

private:
    bool Tell(std::int64_t done, std::int64_t total) noexcept;

    const ProgressCallback& progress_;
    std::int64_t reported_ = -1;
    bool stopped_ = false;
    std::exception_ptr failure_;
};
