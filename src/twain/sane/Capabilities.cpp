#include "twain/sane/Capabilities.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace sanedsm {

TW_FIX32 ToFix32(double value) {
    const long scaled = std::lround(value * 65536.0);
    return {TW_INT16(scaled >> 16), TW_UINT16(scaled & 0xFFFF)};
}

double FromFix32(TW_FIX32 value) { return value.Whole + value.Frac / 65536.0; }

namespace {
TW_UINT32 Fix32Bits(double value) {
    const TW_FIX32 fix = ToFix32(value);
    TW_UINT32 bits;
    std::memcpy(&bits, &fix, sizeof bits);
    return bits;
}

TW_UINT16 ItemTypeOf(TW_UINT16 cap) {
    switch (cap) {
        case CAP_XFERCOUNT: return TWTY_INT16;
        case ICAP_XRESOLUTION:
        case ICAP_YRESOLUTION: return TWTY_FIX32;
        default: return TWTY_UINT16;
    }
}

// The current or default value of a capability as the 32 bits of a ONEVALUE item.
TW_UINT32 ItemOf(const TCapabilities& caps, TW_UINT16 cap, bool current) {
    switch (cap) {
        case CAP_XFERCOUNT: return TW_UINT32(TW_UINT16(TW_INT16(current ? caps.TransferCount : -1)));
        case ICAP_XFERMECH: return TWSX_NATIVE;
        case ICAP_PIXELTYPE: return TW_UINT32(current ? caps.Kind : caps.DefaultKind);
        default: return Fix32Bits(current ? caps.Resolution : caps.DefaultResolution);
    }
}

template <typename Container>
Container* NewContainer(TW_CAPABILITY& capability, TW_UINT16 type, std::size_t size) {
    void* block = std::calloc(1, size);
    if (!block) return nullptr;
    capability.ConType = type;
    capability.hContainer = block;
    return static_cast<Container*>(block);
}

bool PutOneValue(TW_CAPABILITY& capability, TW_UINT16 itemType, TW_UINT32 item) {
    auto* one = NewContainer<TW_ONEVALUE>(capability, TWON_ONEVALUE, sizeof(TW_ONEVALUE));
    if (!one) return false;
    one->ItemType = itemType;
    one->Item = item;
    return true;
}

// MSG_GET: the pixel types as an enumeration, the resolutions as a range or list.
bool PutAllValues(TW_CAPABILITY& capability, const TCapabilities& caps) {
    if (capability.Cap == ICAP_PIXELTYPE) {
        const std::size_t count = caps.Kinds.size();
        auto* list = NewContainer<TW_ENUMERATION>(
            capability, TWON_ENUMERATION, offsetof(TW_ENUMERATION, ItemList) + 2 * std::max<std::size_t>(count, 1));
        if (!list) return false;
        list->ItemType = TWTY_UINT16;
        list->NumItems = TW_UINT32(count);
        for (std::size_t i = 0; i < count; ++i) {
            const auto value = TW_UINT16(caps.Kinds[i]);
            std::memcpy(list->ItemList + 2 * i, &value, 2);
            if (caps.Kinds[i] == caps.Kind) list->CurrentIndex = TW_UINT32(i);
            if (caps.Kinds[i] == caps.DefaultKind) list->DefaultIndex = TW_UINT32(i);
        }
        return true;
    }
    if ((capability.Cap == ICAP_XRESOLUTION || capability.Cap == ICAP_YRESOLUTION) && caps.Resolutions.IsRange()) {
        auto* range = NewContainer<TW_RANGE>(capability, TWON_RANGE, sizeof(TW_RANGE));
        if (!range) return false;
        range->ItemType = TWTY_FIX32;
        range->MinValue = Fix32Bits(caps.Resolutions.Min);
        range->MaxValue = Fix32Bits(caps.Resolutions.Max);
        range->StepSize = Fix32Bits(caps.Resolutions.Step > 0 ? caps.Resolutions.Step : 1);
        range->DefaultValue = Fix32Bits(caps.DefaultResolution);
        range->CurrentValue = Fix32Bits(caps.Resolution);
        return true;
    }
    if (capability.Cap == ICAP_XRESOLUTION || capability.Cap == ICAP_YRESOLUTION) {
        const std::vector<double>& values = caps.Resolutions.List;
        auto* list = NewContainer<TW_ENUMERATION>(capability, TWON_ENUMERATION,
                                                  offsetof(TW_ENUMERATION, ItemList) + 4 * values.size());
        if (!list) return false;
        list->ItemType = TWTY_FIX32;
        list->NumItems = TW_UINT32(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            const TW_UINT32 bits = Fix32Bits(values[i]);
            std::memcpy(list->ItemList + 4 * i, &bits, 4);
            if (values[i] == caps.Resolution) list->CurrentIndex = TW_UINT32(i);
            if (values[i] == caps.DefaultResolution) list->DefaultIndex = TW_UINT32(i);
        }
        return true;
    }
    return PutOneValue(capability, ItemTypeOf(capability.Cap), ItemOf(caps, capability.Cap, true));
}

// MSG_SET with a ONEVALUE container: TWCC_SUCCESS, or why the value is refused.
TW_UINT16 SetValue(TCapabilities& caps, const TW_CAPABILITY& capability) {
    if (capability.ConType != TWON_ONEVALUE || !capability.hContainer) return TWCC_BADVALUE;
    TW_ONEVALUE one;
    std::memcpy(&one, capability.hContainer, sizeof one);
    if (one.ItemType != ItemTypeOf(capability.Cap)) return TWCC_BADVALUE;
    switch (capability.Cap) {
        case CAP_XFERCOUNT: {
            const int count = TW_INT16(TW_UINT16(one.Item));
            if (count == 0 || count < -1) return TWCC_BADVALUE;
            caps.TransferCount = count;
            return TWCC_SUCCESS;
        }
        case ICAP_XFERMECH: return TW_UINT16(one.Item) == TWSX_NATIVE ? TWCC_SUCCESS : TWCC_BADVALUE;
        case ICAP_PIXELTYPE: {
            const auto kind = TPixelKind(TW_UINT16(one.Item));
            if (std::find(caps.Kinds.begin(), caps.Kinds.end(), kind) == caps.Kinds.end()) return TWCC_BADVALUE;
            caps.Kind = kind;
            return TWCC_SUCCESS;
        }
        default: {
            TW_FIX32 fix;
            std::memcpy(&fix, &one.Item, sizeof fix);
            const double dpi = FromFix32(fix);
            if (dpi <= 0 || std::abs(caps.Resolutions.Nearest(dpi) - dpi) > 0.5) return TWCC_BADVALUE;
            caps.Resolution = caps.Resolutions.Nearest(dpi);
            return TWCC_SUCCESS;
        }
    }
}

void ResetValue(TCapabilities& caps, TW_UINT16 cap) {
    if (cap == CAP_XFERCOUNT) caps.TransferCount = -1;
    if (cap == ICAP_PIXELTYPE) caps.Kind = caps.DefaultKind;
    if (cap == ICAP_XRESOLUTION || cap == ICAP_YRESOLUTION) caps.Resolution = caps.DefaultResolution;
}

bool Supported(TW_UINT16 cap) {
    return cap == CAP_XFERCOUNT || cap == ICAP_XFERMECH || cap == ICAP_PIXELTYPE || cap == ICAP_XRESOLUTION ||
           cap == ICAP_YRESOLUTION;
}
}  // namespace

TW_UINT16 CapabilityTriplet(TCapabilities& caps, TW_UINT16 msg, TW_CAPABILITY* capability, int state,
                            TW_UINT16& condition) {
    auto fail = [&](TW_UINT16 code) {
        condition = code;
        return TWRC_FAILURE;
    };
    if (!capability) return fail(TWCC_BADVALUE);
    if (state < 4) return fail(TWCC_SEQERROR);
    if (!Supported(capability->Cap)) return fail(TWCC_CAPUNSUPPORTED);
    const bool setting = msg == MSG_SET || msg == MSG_RESET;
    if (setting && state != 4) return fail(TWCC_SEQERROR);
    bool stored = true;
    switch (msg) {
        case MSG_GET: stored = PutAllValues(*capability, caps); break;
        case MSG_GETCURRENT:
        case MSG_GETDEFAULT:
            stored = PutOneValue(*capability, ItemTypeOf(capability->Cap),
                                 ItemOf(caps, capability->Cap, msg == MSG_GETCURRENT));
            break;
        case MSG_QUERYSUPPORT:
            stored = PutOneValue(*capability, TWTY_INT32,
                                 TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET);
            break;
        case MSG_SET:
            if (const TW_UINT16 refused = SetValue(caps, *capability)) return fail(refused);
            break;
        case MSG_RESET:
            ResetValue(caps, capability->Cap);
            stored = PutOneValue(*capability, ItemTypeOf(capability->Cap), ItemOf(caps, capability->Cap, true));
            break;
        default: return fail(TWCC_CAPBADOPERATION);
    }
    return stored ? TWRC_SUCCESS : fail(TWCC_LOWMEMORY);
}

}  // namespace sanedsm
