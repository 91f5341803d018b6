#include "batch/ProgressLine.h"

#include <cstdio>
#include <ostream>

ProgressCallback TProgressLine::Callback() {
    return {[this](std::int64_t done, std::int64_t total) {
        const int percent = total > 0 ? int(done * 100 / total) : 100;
        char text[8];
        std::snprintf(text, sizeof text, "%3d%%", percent);
        Show(text);
        return true;
    }};
}

void TProgressLine::ShowCount(std::int64_t done, std::int64_t total, double seconds) {
    char text[96];
    // Padded, so that a shorter rate leaves nothing of a longer one behind it.
    std::snprintf(text, sizeof text, "%lld/%lld  %.1f pictures/s   ", static_cast<long long>(done),
                  static_cast<long long>(total), seconds > 0 ? double(done) / seconds : 0.0);
    Show(text);
}

void TProgressLine::Show(const std::string& text) {
    if (text == shown_) return;
    out_ << "\r" << text << std::flush;
    shown_ = text;
}

void TProgressLine::End() {
    if (shown_.empty()) return;
    out_ << "\n" << std::flush;
    shown_.clear();
}
