#pragma once
// The pictures of a many-picture run: where their names come from, and where each is saved.
#include <iosfwd>
#include <string>
#include <vector>

#include "batch/PictureRun.h"

// The names in a list (a file, or "-" for `standardInput`), one a line, as bytes; empty lines
// are passed over. Throws EFileError when the list cannot be read.
std::vector<std::string> ReadInputList(const std::string& list, std::istream& standardInput);

// A job per input, saved as FOLDER/NAME: the input's own name without its folders, its
// extension changed to `format` when one is given (and saved in that format); a camera's
// frame as camera-NAME.bmp (or .FORMAT). The output
// folder itself, among the inputs, is passed over.
struct TJobPlan {
    std::vector<TPictureJob> Jobs;
    std::vector<std::string> Problems;  // a line for each output two inputs share or that is an input
};
TJobPlan PlanJobs(const std::vector<std::string>& inputs, const std::string& folder, const std::string& format);
