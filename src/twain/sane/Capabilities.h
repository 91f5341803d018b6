#pragma once
// The source's small capability set: CAP_XFERCOUNT, ICAP_XFERMECH (native only),
// ICAP_PIXELTYPE, ICAP_XRESOLUTION and ICAP_YRESOLUTION (one resolution for both, as SANE
// devices have). Containers go out as calloc blocks the program frees with DSM_MemFree.
#include <vector>

#include "twain/sane/ScanSettings.h"
#include "twain/sane/TwainSourceTypes.h"

namespace sanedsm {

struct TCapabilities {
    int TransferCount = -1;  // -1: as many as the source has
    TPixelKind Kind = TPixelKind::Colour;
    TPixelKind DefaultKind = TPixelKind::Colour;
    std::vector<TPixelKind> Kinds;  // what the device offers
    double Resolution = 0;
    double DefaultResolution = 0;
    TNumberConstraint Resolutions;
};

// Answers DG_CONTROL / DAT_CAPABILITY / msg for a source in TWAIN state `state`. Values are
// set only in state 4; asking works in 4 to 7. On TWRC_FAILURE `condition` says why.
TW_UINT16 CapabilityTriplet(TCapabilities& caps, TW_UINT16 msg, TW_CAPABILITY* capability, int state,
                            TW_UINT16& condition);

TW_FIX32 ToFix32(double value);
double FromFix32(TW_FIX32 value);

}  // namespace sanedsm
