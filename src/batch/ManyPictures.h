#pragma once
// corvalux-batch -d DIR: the same steps over many pictures, several at once.
#include <iosfwd>
#include <vector>

#include "batch/BatchSteps.h"
#include "batch/CommandLine.h"

// Runs the steps on every input of the command line and its lists, saving each into the
// folder. A picture that fails prints "corvalux-batch: INPUT: MESSAGE" and the others go on.
// Returns 0 when all succeeded, 1 when any failed (after "K of N pictures failed") or the
// names could not be read, 2 when outputs clash before anything runs.
int RunManyPictures(const TCommandLine& line, const std::vector<TBatchStep>& steps, std::istream& in,
                    std::ostream& out, std::ostream& err);
