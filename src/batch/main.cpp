// corvalux-batch: the program's commands from the command line.
#include <iostream>

#include "BatchTool.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    return RunBatch(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
