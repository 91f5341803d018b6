#pragma once
// corvalux-batch --progress: the run's percentage on one terminal line, "\r 42%", rewritten
// as the run goes and closed by a newline.
#include <iosfwd>

#include "Progress.h"

class TProgressLine {
public:
    explicit TProgressLine(std::ostream& out) : out_(out) {}

    // Prints the whole percentage whenever it changes; never cancels.
    ProgressCallback Callback();
    // Ends the line, once, if anything was printed: a message after it starts on its own line.
    void End();

private:
    std::ostream& out_;
    int shown_ = -1;
};
