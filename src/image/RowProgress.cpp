#include "image/RowProgress.h"

bool RowProgress::Tell(std::int64_t done, std::int64_t total) noexcept {
    if (stopped_) return false;
    reported_ = done;
    try {
        stopped_ = !progress_.Report(done, total);
    } catch (...) {
        failure_ = std::current_exception();
        stopped_ = true;
    }
    return !stopped_;
}

void RowProgress::ThrowStop() const {
    if (failure_) std::rethrow_exception(failure_);
    throw ECancelled();
}
