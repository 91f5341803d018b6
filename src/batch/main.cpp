// corvalux-batch: the program's commands from the command line.
#include <unistd.h>

#include <iostream>

#include "batch/BatchTool.h"
#include "batch/SignalCleanup.h"
#include "batch/StandardOutput.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    RemoveTemporaryFileOnSignals();
    TFileOutputBuffer standardOutput(STDOUT_FILENO);
    std::ostream out(&standardOutput);
    return RunBatch(std::vector<std::string>(argv + 1, argv + argc), out, std::cerr);
}
