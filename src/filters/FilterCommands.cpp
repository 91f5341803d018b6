#include "FilterCommands.h"

#include <stdexcept>

#include "Feather.h"
#include "Neighbourhood.h"
#include "Parallel.h"
#include "PointFilters.h"
#include "Symmetry.h"
#include "ToneFilters.h"

FilterStep AdjustChannelsStep(std::int32_t dR, std::int32_t dG, std::int32_t dB) {
    return {FilterRoutine::AdjustChannels, {dR, dG, dB}};
}
FilterStep BlackAndWhiteStep() { return {FilterRoutine::BlackAndWhite}; }
FilterStep GrayscaleStep() { return {FilterRoutine::Grayscale}; }
FilterStep InvertStep(ChannelSelector channels) { return {FilterRoutine::Invert, {int(channels)}}; }
FilterStep SwapChannelsStep() { return {FilterRoutine::SwapChannels}; }
FilterStep LogaritmizeStep(ChannelSelector channels) { return {FilterRoutine::Logaritmize, {int(channels)}}; }
FilterStep ContrastStepOf(ContrastStep step) { return {FilterRoutine::Contrast, {int(step)}}; }
FilterStep OptimizeStep() { return {FilterRoutine::Optimize}; }
FilterStep MeanStep(std::int32_t n) { return {FilterRoutine::Mean, {n}}; }
FilterStep AddNoiseStep(std::int32_t a) { return {FilterRoutine::AddNoise, {a}}; }
FilterStep SharpnessStepOf(SharpnessStep step) { return {FilterRoutine::Sharpness, {int(step)}}; }
FilterStep FindEdgesStep() { return {FilterRoutine::FindEdges}; }
FilterStep MirrorStep(MirrorAxis axis) { return {FilterRoutine::Mirror, {int(axis)}}; }
FilterStep ReflectionStep(MirrorAxis axis) { return {FilterRoutine::Reflection, {int(axis)}}; }

const std::vector<FilterCommand>& FilterCommands() {
    using enum ChannelSelector;
    static const std::vector<FilterCommand> commands = {
        {"black-and-white", "BlackandwhiteMenuClick", "Black and white", {BlackAndWhiteStep()}},
        {"brightness-increase", "IncreaseBrightnessMenuClick", "Brightness > Increase", {AdjustChannelsStep(25, 25, 25)}},
        {"brightness-decrease", "DecreaseBrightnessMenuClick", "Brightness > Decrease", {AdjustChannelsStep(-25, -25, -25)}},
        {"red-increase", "IncreaseRedMenuClick", "Channels > Red > Increase", {AdjustChannelsStep(25, 0, 0)}},
        {"red-decrease", "DecreaseRedMenuClick", "Channels > Red > Decrease", {AdjustChannelsStep(-25, 0, 0)}},
        {"green-increase", "IncreaseGreenMenuClick", "Channels > Green > Increase", {AdjustChannelsStep(0, 25, 0)}},
        {"green-decrease", "DecreaseGreenMenuClick", "Channels > Green > Decrease", {AdjustChannelsStep(0, -25, 0)}},
        {"blue-increase", "IncreaseBlueMenuClick", "Channels > Blue > Increase", {AdjustChannelsStep(0, 0, 25)}},
        {"blue-decrease", "DecreaseBlueMenuClick", "Channels > Blue > Decrease", {AdjustChannelsStep(0, 0, -25)}},
        {"grayscale", "GrayscaleMenuClick", "Grayscale", {GrayscaleStep()}},
        {"invert-all", "InvertAllmenuClick", "Invert > All", {InvertStep(All)}},
        {"invert-red", "InvertRedMenuClick", "Invert > Red", {InvertStep(Red)}},
        {"invert-green", "InvertGreenMenuClick", "Invert > Green", {InvertStep(Green)}},
        {"invert-blue", "InvertBlueMenuClick", "Invert > Blue", {InvertStep(Blue)}},
        {"logaritmize-all", "LogaritmizeAllMenuClick", "Logaritmize > All", {LogaritmizeStep(All)}},
        {"logaritmize-red", "LogaritmizeRedMenuClick", "Logaritmize > Red", {LogaritmizeStep(Red)}},
        {"logaritmize-green", "LogaritmizeGreenMenuClick", "Logaritmize > Green", {LogaritmizeStep(Green)}},
        {"logaritmize-blue", "LogaritmizeBlueMenuClick", "Logaritmize > Blue", {LogaritmizeStep(Blue)}},
        {"mirror-horizontal", "HorisontallyMenuClick", "Mirror > Horisontally", {MirrorStep(MirrorAxis::Horizontal)}},
        {"mirror-vertical", "VerticallyMenuClick", "Mirror > Vertically", {MirrorStep(MirrorAxis::Vertical)}},
        {"optimize", "OptimizeMenuClick", "Optimize", {OptimizeStep()}},
        {"sepia", "SepiaMenuClick", "Sepia", {GrayscaleStep(), AdjustChannelsStep(25, 0, -25)}},
        {"contrast-increase", "IncreaseContrastmenuClick", "Contrast > Increase", {ContrastStepOf(ContrastStep::Increase)}},
        {"contrast-decrease", "DecreaseContrastmenuClick", "Contrast > Decrease", {ContrastStepOf(ContrastStep::Decrease)}},
        // FindEdges ends with its own Optimize and Logaritmize(All).
        {"find-edges", "FindEdgesMenuClick", "Find edges", {FindEdgesStep()}},
        {"mean-value", "MeanvalueMenuClick", "Mean value", {MeanStep(5)}},
        {"noise-add", "AddNoiseMenuClick", "Noise > Add", {AddNoiseStep(25)}},
        {"noise-remove", "RemoveNoiseMenuClick", "Noise > Remove", {MeanStep(1)}},
        {"sharpness-increase", "IncreaseSharpnessMenuClick", "Sharpness > Increase", {SharpnessStepOf(SharpnessStep::Increase)}},
        {"sharpness-decrease", "DecreaseSharpnessMenuClick", "Sharpness > Decrease", {SharpnessStepOf(SharpnessStep::Decrease)}},
        {"drawn", "DrawnMenuClick", "Drawn",
         {MeanStep(1), FindEdgesStep(), InvertStep(All), ContrastStepOf(ContrastStep::Increase)}},
        {"feather", "FeatherMenuClick", "Feather", {}, CommandKind::Feather},
        {"early-20th-century", "Early20thCenturyMenuClick", "Photo effects > Early 20:th century",
         {AddNoiseStep(25), MeanStep(1), GrayscaleStep(), AdjustChannelsStep(25, 13, -25),
          ContrastStepOf(ContrastStep::Increase)}},
        {"cheap-color-camera", "CheapcolorcameraMenuClick", "Photo effects > Cheap color camera",
         {AdjustChannelsStep(25, 0, 0), AddNoiseStep(25), MeanStep(1), ContrastStepOf(ContrastStep::Increase)}},
        // Reflection selects the whole picture first, so Optimize stretches all of it.
        {"reflection-horizontal", "ReflectionHorisontallyMenuClick", "Reflection > Horisontally",
         {ReflectionStep(MirrorAxis::Horizontal), OptimizeStep()}},
        {"reflection-vertical", "ReflectionVerticallyMenuClick", "Reflection > Vertically",
         {ReflectionStep(MirrorAxis::Vertical), OptimizeStep()}},
        {"swap-channels", "SwapchannelsMenuClick", "Swap channels", {SwapChannelsStep()}},
    };
    return commands;
}

const FilterCommand* FindFilterCommand(std::string_view name) {
    for (const FilterCommand& command : FilterCommands())
        if (command.Name == name) return &command;
    return nullptr;
}

const FilterCommand* FindFilterCommandByHandler(std::string_view handler) {
    for (const FilterCommand& command : FilterCommands())
        if (command.Handler == handler) return &command;
    return nullptr;
}

void RunFilterStep(const FilterStep& step, FilterContext& context) {
    Bitmap& picture = context.Picture;
    TRect& selection = context.Selection;
    const ProgressCallback& progress = context.Progress;
    const auto& args = step.Args;
    switch (step.Routine) {
    case FilterRoutine::AdjustChannels: AdjustChannels(picture, selection, args[0], args[1], args[2], progress); return;
    case FilterRoutine::BlackAndWhite: BlackAndWhite(picture, selection, progress); return;
    case FilterRoutine::Grayscale: Grayscale(picture, selection, progress); return;
    case FilterRoutine::Invert: Invert(picture, selection, ChannelSelector(args[0]), progress); return;
    case FilterRoutine::SwapChannels: SwapChannels(picture, selection, progress); return;
    case FilterRoutine::Logaritmize: Logaritmize(picture, selection, ChannelSelector(args[0]), progress); return;
    case FilterRoutine::Contrast: Contrast(picture, selection, ContrastStep(args[0]), progress); return;
    case FilterRoutine::Optimize: Optimize(picture, selection, progress); return;
    case FilterRoutine::Mean: Mean(picture, selection, args[0], progress); return;
    case FilterRoutine::AddNoise: AddNoise(picture, selection, args[0], context.NoiseSeed(), progress); return;
    case FilterRoutine::Sharpness: Sharpness(picture, selection, SharpnessStep(args[0]), progress); return;
    case FilterRoutine::FindEdges: FindEdges(picture, selection, progress); return;
    case FilterRoutine::Mirror: Mirror(picture, selection, MirrorAxis(args[0]), progress); return;
    case FilterRoutine::Reflection: Reflection(picture, selection, MirrorAxis(args[0]), progress); return;
    }
    throw std::logic_error("unknown filter routine");
}

void RunFilterCommand(const FilterCommand& command, FilterContext& context) {
    if (command.Kind == CommandKind::Feather)
        throw std::logic_error("Feather needs a colour: use RunFeather");
    if (!context.Progress) {
        for (const FilterStep& step : command.Steps) RunFilterStep(step, context);
        return;
    }
    // Each step leaves its input alone when cancelled, but the steps before it have run: the
    // command works on copies, which replace the picture and selection once every step is done.
    Bitmap picture = context.Picture;
    TRect selection = context.Selection;
    FilterContext work{picture, selection, context.NoiseSeed};
    StepProgress progress(context.Progress, int(command.Steps.size()));
    for (std::size_t k = 0; k < command.Steps.size(); ++k) {
        work.Progress = progress.Step(int(k));
        RunFilterStep(command.Steps[k], work);
        progress.Finish(int(k));
    }
    context.Picture = std::move(picture);
    context.Selection = selection;
}

void RunFeather(FilterContext& context, PackedColor color) {
    Feather(context.Picture, context.Selection, color, context.Progress);
}
