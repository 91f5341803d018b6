#include "twain/sane/ScanSettings.h"

#include <algorithm>
#include <cmath>

namespace sanedsm {
namespace {
std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool Contains(const std::string& text, const char* word) { return Lower(text).find(word) != std::string::npos; }

bool IsColour(const std::string& mode) {
    // "Color Lineart" and "Color Halftone" are colour dithers, not colour pictures.
    return (Contains(mode, "color") || Contains(mode, "colour")) && !Contains(mode, "lineart") &&
           !Contains(mode, "halftone") && !Contains(mode, "dither");
}
bool IsGrey(const std::string& mode) { return Contains(mode, "gray") || Contains(mode, "grey"); }
bool IsLineArt(const std::string& mode) {
    return !IsColour(mode) && !Contains(mode, "color") && !Contains(mode, "colour") &&
           (Contains(mode, "lineart") || Contains(mode, "line art") || Contains(mode, "binary") ||
            Contains(mode, "black") || Contains(mode, "monochrome"));
}

// The first mode that passes `matches`, preferring the one named exactly `usual`.
const std::string* Pick(const std::vector<std::string>& modes, bool (*matches)(const std::string&), const char* usual) {
    const std::string* found = nullptr;
    for (const std::string& mode : modes) {
        if (!matches(mode)) continue;
        if (Lower(mode) == usual) return &mode;
        if (!found) found = &mode;
    }
    return found;
}
}  // namespace

std::map<TPixelKind, TModeChoice> ModeChoices(const std::vector<std::string>& modes, const std::vector<int>& depths) {
    const bool has8 = std::find(depths.begin(), depths.end(), 8) != depths.end();
    const bool has1 = std::find(depths.begin(), depths.end(), 1) != depths.end();
    std::map<TPixelKind, TModeChoice> choices;
    if (const std::string* mode = Pick(modes, IsColour, "color")) choices[TPixelKind::Colour] = {*mode, has8 ? 8 : 0};
    if (const std::string* mode = Pick(modes, IsGrey, "gray")) choices[TPixelKind::Grey] = {*mode, has8 ? 8 : 0};
    if (const std::string* mode = Pick(modes, IsLineArt, "lineart"))
        choices[TPixelKind::LineArt] = {*mode, 0};
    else if (choices.count(TPixelKind::Grey) && has1)
        choices[TPixelKind::LineArt] = {choices[TPixelKind::Grey].Mode, 1};
    return choices;
}

TPixelKind KindOfMode(const std::string& mode) {
    if (IsColour(mode)) return TPixelKind::Colour;
    if (IsLineArt(mode)) return TPixelKind::LineArt;
    return TPixelKind::Grey;
}

double TNumberConstraint::Nearest(double value) const {
    if (!List.empty()) {
        double best = List.front();
        for (double v : List)
            if (std::abs(v - value) < std::abs(best - value)) best = v;
        return best;
    }
    double v = std::clamp(value, Min, std::max(Min, Max));
    if (Step > 0) v = std::min(Max, Min + std::round((v - Min) / Step) * Step);
    return v;
}

std::vector<int> ResolutionChoices(const TNumberConstraint& constraint, int current) {
    std::vector<int> choices;
    if (!constraint.IsRange()) {
        for (double v : constraint.List) choices.push_back(int(std::lround(v)));
    } else {
        for (int usual : {75, 100, 150, 200, 300, 600, 1200, 2400})
            if (usual >= constraint.Min && usual <= constraint.Max &&
                std::abs(constraint.Nearest(usual) - usual) < 1e-6)
                choices.push_back(usual);
    }
    if (current > 0) choices.push_back(current);
    std::sort(choices.begin(), choices.end());
    choices.erase(std::unique(choices.begin(), choices.end()), choices.end());
    return choices;
}

bool IsFeeder(const std::string& source) {
    return Contains(source, "adf") || Contains(source, "feeder") || Contains(source, "duplex");
}

}  // namespace sanedsm
