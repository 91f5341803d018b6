#include "ProgressLine.h"

#include <cstdio>
#include <ostream>

ProgressCallback TProgressLine::Callback() {
    return {[this](std::int64_t done, std::int64_t total) {
        const int percent = total > 0 ? int(done * 100 / total) : 100;
        if (percent != shown_) {
            char text[8];
            std::snprintf(text, sizeof text, "\r%3d%%", percent);
            out_ << text << std::flush;
            shown_ = percent;
        }
        return true;
    }};
}

void TProgressLine::End() {
    if (shown_ < 0) return;
    out_ << "\n" << std::flush;
    shown_ = -1;
}
