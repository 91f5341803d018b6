#pragma once
// The Filters menu commands as data: each command's batch name, its menu handler and the
// routine passes it runs. The main window and corvalux-batch both run commands from this table.
#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "image/Bitmap.h"
#include "filters/FilterOptions.h"
#include "filters/Noise.h"
#include "image/PackedColor.h"
#include "image/Progress.h"
#include "image/Rect.h"

enum class FilterRoutine {
    AdjustChannels,  // Args: dR, dG, dB
    BlackAndWhite,
    Grayscale,
    Invert,  // Args[0]: ChannelSelector
    SwapChannels,
    Logaritmize,  // Args[0]: ChannelSelector
    Contrast,     // Args[0]: ContrastStep
    Optimize,
    Mean,       // Args[0]: radius
    AddNoise,   // Args[0]: amplitude
    Sharpness,  // Args[0]: SharpnessStep
    FindEdges,
    Mirror,      // Args[0]: MirrorAxis
    Reflection,  // Args[0]: MirrorAxis
};

// One complete pass of a routine over the picture.
struct FilterStep {
    FilterRoutine Routine;
    std::array<std::int32_t, 3> Args{};
    bool operator==(const FilterStep&) const = default;
};

// The steps with their parameters, as the table writes them.
FilterStep AdjustChannelsStep(std::int32_t dR, std::int32_t dG, std::int32_t dB);
FilterStep BlackAndWhiteStep();
FilterStep GrayscaleStep();
FilterStep InvertStep(ChannelSelector channels);
FilterStep SwapChannelsStep();
FilterStep LogaritmizeStep(ChannelSelector channels);
FilterStep ContrastStepOf(ContrastStep step);
FilterStep OptimizeStep();
FilterStep MeanStep(std::int32_t n);
FilterStep AddNoiseStep(std::int32_t a);
FilterStep SharpnessStepOf(SharpnessStep step);
FilterStep FindEdgesStep();
FilterStep MirrorStep(MirrorAxis axis);
FilterStep ReflectionStep(MirrorAxis axis);

enum class CommandKind {
    Steps,    // runs its steps
    Feather,  // needs a colour: the menu shows the palette window, batch takes feather=R,G,B
};

struct FilterCommand {
    std::string_view Name;  // batch step name: "brightness-increase"
    std::vector<FilterStep> Steps;
    CommandKind Kind = CommandKind::Steps;
};

// Every Filters menu command that rewrites the picture, in menu order.
const std::vector<FilterCommand>& FilterCommands();
const FilterCommand* FindFilterCommand(std::string_view name);

// What a command works on. NoiseSeed is asked once per AddNoise pass. With a Progress
// callback, a command reports one rising progress over all its steps and a cancel throws
// ECancelled with the picture and selection as they were; without one it runs as it always did.
struct FilterContext {
    Bitmap& Picture;
    TRect& Selection;
    std::function<std::uint32_t()> NoiseSeed = MillisecondsSinceUtcMidnight;
    ProgressCallback Progress = {};
};

void RunFilterStep(const FilterStep& step, FilterContext& context);

// Runs the command's steps in order, each reading what the one before wrote. A Feather
// command has no steps of its own: run it with RunFeather. Throws std::logic_error for it.
void RunFilterCommand(const FilterCommand& command, FilterContext& context);

// The Feather command with its colour, on the selection.
void RunFeather(FilterContext& context, PackedColor color);
