#pragma once
// corvalux-batch --progress: one terminal line on standard error, rewritten as the run goes
// ("\r 42%", or "\r12/60  2.5 pictures/s" over many) and closed by a newline.
#include <cstdint>
#include <iosfwd>
#include <string>

#include "image/Progress.h"

class TProgressLine {
public:
    explicit TProgressLine(std::ostream& out) : out_(out) {}

    // Prints the whole percentage whenever it changes; never cancels.
    ProgressCallback Callback();
    // Prints the pictures done of the total and how many a second that has been so far.
    void ShowCount(std::int64_t done, std::int64_t total, double seconds);
    // Ends the line, once, if anything was printed: a message after it starts on its own line.
    void End();

private:
    void Show(const std::string& text);
    std::ostream& out_;
    std::string shown_;
};
