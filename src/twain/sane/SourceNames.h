#pragma once
// The TWAIN names of SANE devices. A TWAIN name holds 32 characters; SANE describes a device
// by vendor, model and type, and two devices of one model describe themselves alike.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "TwainTypes.h"

namespace sanedsm {

// A device as SANE lists it.
struct TDeviceInfo {
    std::string Name;  // SANE's device name, e.g. "test:0"
    std::string Vendor, Model, Type;
};

constexpr std::size_t NameLength = 32;

// The first `limit` bytes of `text`, never splitting a UTF-8 sequence, without trailing
// blanks.
std::string CutName(std::string_view text, std::size_t limit = NameLength);

// "Vendor Model Type" with empty parts left out, cut to 32; the device name when SANE gives
// no description at all.
std::string SourceName(const std::string& vendor, const std::string& model, const std::string& type,
                       const std::string& device);

// The names made unique in list order: the second of a name becomes "<name> #2", its base cut
// so that the whole still fits.
std::vector<std::string> UniqueNames(const std::vector<std::string>& names);

// The TWAIN names of a device list, unique, in list order.
std::vector<std::string> SourceNames(const std::vector<TDeviceInfo>& devices);

// Copies a name into a TWAIN string field, cut to fit and zero-filled.
void CopyName(TW_STR32& field, std::string_view text);

}  // namespace sanedsm
