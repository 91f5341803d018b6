#pragma once
// corvalux-batch: corvalux-batch [--seed N] [--keep-orientation] [--progress] INPUT [STEP ...] [-o OUTPUT]
#include <iosfwd>
#include <string>
#include <vector>

// Runs the tool on its arguments (without the program name). Returns the exit status:
// 0 success, 2 usage error, 1 any other error. OUTPUT is written only when every step ran.
int RunBatch(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
