#include "image/ColourCodes.h"

#include <lcms2.h>

#include <memory>
#include <optional>

namespace {
struct TPrimaries {
    cmsCIExyY Red, Green, Blue, White;
};

constexpr cmsCIExyY D65{0.3127, 0.3290, 1.0};

std::optional<TPrimaries> PrimariesOf(int code) {
    switch (code) {
        case 5: return TPrimaries{{0.64, 0.33, 1}, {0.29, 0.60, 1}, {0.15, 0.06, 1}, D65};
        case 6:
        case 7: return TPrimaries{{0.630, 0.340, 1}, {0.310, 0.595, 1}, {0.155, 0.070, 1}, D65};
        case 9: return TPrimaries{{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}, D65};
        case 11: return TPrimaries{{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}, {0.314, 0.351, 1}};
        case 12: return TPrimaries{{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}, D65};
        default: return std::nullopt;
    }
}

bool IsSrgbPrimaries(int code) { return code == 1 || code == 2; }

// The camera curves (BT.709, BT.601, BT.2020) are shown through sRGB's, as viewers of these
// files do; only a plain power or a linear curve differs.
std::optional<double> PowerOf(int code) {
    switch (code) {
        case 4: return 2.2;
        case 5: return 2.8;
        case 8: return 1.0;
        default: return std::nullopt;
    }
}

bool IsSrgbTransfer(int code) { return code == 1 || code == 2 || code == 6 || code == 13 || code == 14 || code == 15; }

using TCurve = std::unique_ptr<cmsToneCurve, decltype(&cmsFreeToneCurve)>;
using TProfile = std::unique_ptr<void, decltype(&cmsCloseProfile)>;
}  // namespace

std::vector<std::uint8_t> IccProfileForCodes(const HeifColourCodes& codes) {
    const bool srgbPrimaries = IsSrgbPrimaries(codes.Primaries), srgbTransfer = IsSrgbTransfer(codes.Transfer);
    const std::optional<TPrimaries> primaries =
        srgbPrimaries ? TPrimaries{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}, D65} : PrimariesOf(codes.Primaries);
    const std::optional<double> power = PowerOf(codes.Transfer);
    if ((srgbPrimaries && srgbTransfer) || !primaries || (!srgbTransfer && !power)) return {};

    // sRGB's curve is lcms's parametric type 4; a power is type 1.
    const double srgb[] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    TCurve curve(power ? cmsBuildGamma(nullptr, *power) : cmsBuildParametricToneCurve(nullptr, 4, srgb),
                 &cmsFreeToneCurve);
    if (!curve) return {};
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    cmsCIExyYTRIPLE triple{primaries->Red, primaries->Green, primaries->Blue};
    TProfile profile(cmsCreateRGBProfile(&primaries->White, &triple, curves), &cmsCloseProfile);
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0) return {};
    std::vector<std::uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
    bytes.resize(size);
    return bytes;
}
