#pragma once
// What a scan is made with, and how the choices of the source's dialog map onto a device's
// SANE options. The mapping is plain data in and out, so that it is tested without a device.
#include <map>
#include <string>
#include <vector>

namespace sanedsm {

// The values of TWAIN's ICAP_PIXELTYPE: TWPT_BW, TWPT_GRAY, TWPT_RGB.
enum class TPixelKind { LineArt = 0, Grey = 1, Colour = 2 };

// How a device makes one kind: the value of its "mode" option and the bit depth to ask for
// (0: leave the depth alone).
struct TModeChoice {
    std::string Mode;
    int Depth = 0;
    bool operator==(const TModeChoice&) const = default;
};

// The kinds a device offers, from its mode names and the depths of its "depth" option.
// Colour and grey ask for 8 bits where the device lets them choose; line art is a line-art
// mode, or else grey at 1 bit.
std::map<TPixelKind, TModeChoice> ModeChoices(const std::vector<std::string>& modes, const std::vector<int>& depths);

// The kind a device's current mode stands for; grey when it matches none.
TPixelKind KindOfMode(const std::string& mode);

// A number option's allowed values: a list, or a range with a step (0: any).
struct TNumberConstraint {
    std::vector<double> List;
    double Min = 0, Max = 0, Step = 0;
    bool IsRange() const { return List.empty(); }
    // The allowed value nearest to `value`.
    double Nearest(double value) const;
};

// The resolutions the dialog offers: the device's list, or for a range the usual ones that
// fall in it, and always the current value.
std::vector<int> ResolutionChoices(const TNumberConstraint& constraint, int current);

// The scan area in the unit of the device's geometry options (usually millimetres).
struct TArea {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TArea&) const = default;
};

struct TScanSettings {
    TPixelKind Kind = TPixelKind::Colour;
    int Resolution = 0;  // dots per inch; 0: the device's own
    TArea Area;
    bool HasArea = false;
    std::string Source;  // the "source" option's value; empty: leave it
};

// A "source" option value that names a document feeder.
bool IsFeeder(const std::string& source);

}  // namespace sanedsm
