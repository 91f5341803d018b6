#pragma once
// corvalux-batch's steps: parsing "name" or "name=ARGS" into runnable steps, from one table.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/Progress.h"
#include "image/Rect.h"
#include "image/Region.h"

// What the steps work on: the picture as the main window holds it.
struct TBatchSession {
    Bitmap Picture;
    TRect Selection;
    std::string FileName;
    std::optional<std::uint32_t> Seed;  // fixed noise seed, else the clock
    std::ostream* Out = nullptr;        // where statistics go
    ProgressCallback Progress;          // the running step's progress, if any

    void SelectAll() { Selection = WholePicture(Picture); }
};

using TBatchStep = std::function<void(TBatchSession&)>;

// A step or argument that does not parse: a usage error.
class EBatchUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses one step. Throws EBatchUsage for an unknown name or bad arguments.
TBatchStep ParseStep(const std::string& text);

// One line per step for --help.
std::string StepHelp();
