#pragma once
// corvalux-batch: one picture (INPUT [STEP ...] [-o OUTPUT]) or many (-d DIR STEP ... -- INPUT ...);
// see CommandLine.h.
#include <iosfwd>
#include <string>
#include <vector>

// Runs the tool on its arguments (without the program name); `--from -` reads names from `in`,
// standard input when null. Returns the exit status: 0 success, 2 usage error, 1 any other
// error. An output is written only when every step of its picture ran.
int RunBatch(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
             std::istream* in = nullptr);
