#include "filters/FilterCommands.h"

#include <stdexcept>

#include "filters/Feather.h"
#include "filters/Neighbourhood.h"
#include "filters/Parallel.h"
#include "filters/PointFilters.h"
#include "filters/Symmetry.h"
#include "filters/ToneFilters.h"

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
    // clang-format off
    static const std::vector<FilterCommand> commands = {
        {"black-and-white", {BlackAndWhiteStep()}},
        {"brightness-increase", {AdjustChannelsStep(25, 25, 25)}},
        {"brightness-decrease", {AdjustChannelsStep(-25, -25, -25)}},
        {"red-increase", {AdjustChannelsStep(25, 0, 0)}},
        {"red-decrease", {AdjustChannelsStep(-25, 0, 0)}},
        {"green-increase", {AdjustChannelsStep(0, 25, 0)}},
        {"green-decrease", {AdjustChannelsStep(0, -25, 0)}},
        {"blue-increase", {AdjustChannelsStep(0, 0, 25)}},
        {"blue-decrease", {AdjustChannelsStep(0, 0, -25)}},
        {"grayscale", {GrayscaleStep()}},
        {"invert-all", {InvertStep(All)}},
        {"invert-red", {InvertStep(Red)}},
        {"invert-green", {InvertStep(Green)}},
        {"invert-blue", {InvertStep(Blue)}},
        {"logaritmize-all", {LogaritmizeStep(All)}},
        {"logaritmize-red", {LogaritmizeStep(Red)}},
        {"logaritmize-green", {LogaritmizeStep(Green)}},
        {"logaritmize-blue", {LogaritmizeStep(Blue)}},
        {"mirror-horizontal", {MirrorStep(MirrorAxis::Horizontal)}},
        {"mirror-vertical", {MirrorStep(MirrorAxis::Vertical)}},
        {"optimize", {OptimizeStep()}},
        {"sepia", {GrayscaleStep(), AdjustChannelsStep(25, 0, -25)}},
        {"contrast-increase", {ContrastStepOf(ContrastStep::Increase)}},
        {"contrast-decrease", {ContrastStepOf(ContrastStep::Decrease)}},
        // FindEdges ends with its own Optimize and Logaritmize(All).
        {"find-edges", {FindEdgesStep()}},
        {"mean-value", {MeanStep(5)}},
        {"noise-add", {AddNoiseStep(25)}},
        {"noise-remove", {MeanStep(1)}},
        {"sharpness-increase", {SharpnessStepOf(SharpnessStep::Increase)}},
        {"sharpness-decrease", {SharpnessStepOf(SharpnessStep::Decrease)}},
        {"drawn",
         {MeanStep(1), FindEdgesStep(), InvertStep(All), ContrastStepOf(ContrastStep::Increase)}},
        {"feather", {}, CommandKind::Feather},
        {"early-20th-century",
         {AddNoiseStep(25), MeanStep(1), GrayscaleStep(), AdjustChannelsStep(25, 13, -25),
          ContrastStepOf(ContrastStep::Increase)}},
        {"cheap-color-camera",
         {AdjustChannelsStep(25, 0, 0), AddNoiseStep(25), MeanStep(1), ContrastStepOf(ContrastStep::Increase)}},
        // Reflection selects the whole picture first, so Optimize stretches all of it.
        {"reflection-horizontal",
         {ReflectionStep(MirrorAxis::Horizontal), OptimizeStep()}},
        {"reflection-vertical",
         {ReflectionStep(MirrorAxis::Vertical), OptimizeStep()}},
        {"swap-channels", {SwapChannelsStep()}},
    };
    // clang-format on
    return commands;
}

const FilterCommand* FindFilterCommand(std::string_view name) {
    for (const FilterCommand& command : FilterCommands())
        if (command.Name == name) return &command;
    return nullptr;
}

void RunFilterStep(const FilterStep& step, FilterContext& context) {
    Bitmap& picture = context.Picture;
    TRect& selection = context.Selection;
    const ProgressCallback& progress = context.Progress;
    const auto& args = step.Args;
    switch (step.Routine) {
        case FilterRoutine::AdjustChannels:
            AdjustChannels(picture, selection, args[0], args[1], args[2], progress);
            return;
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
    if (command.Kind == CommandKind::Feather) throw std::logic_error("Feather needs a colour: use RunFeather");
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
