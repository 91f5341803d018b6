#pragma once
// The names of SANE devices. A TWAIN name holds 32 characters, while the manager's windows
// show a name whole; SANE describes a device by vendor, model and type, and two devices of one
// model describe themselves alike.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "twain/TwainTypes.h"

namespace sanedsm {

// A device as SANE lists it.
struct TDeviceInfo {
    std::string Name;  // SANE's device name, e.g. "test:0"
    std::string Vendor, Model, Type;
};

constexpr std::size_t NameLength = 32;
// No cut: for windows, which can show a name whole.
constexpr std::size_t WholeName = std::string_view::npos;

// The first `limit` bytes of `text`, never splitting a UTF-8 sequence, without trailing
// blanks.
std::string CutName(std::string_view text, std::size_t limit = NameLength);

// "Vendor Model Type" with empty parts left out, cut to `limit`; the device name when SANE
// gives no description at all.
std::string SourceName(const std::string& vendor, const std::string& model, const std::string& type,
                       const std::string& device, std::size_t limit = NameLength);

// The names made unique in list order: the second of a name becomes "<name> #2", its base cut
// so that the whole still fits `limit`.
std::vector<std::string> UniqueNames(const std::vector<std::string>& names, std::size_t limit = NameLength);

// The names of a device list, unique, in list order: TWAIN names, or whole ones for a window.
std::vector<std::string> SourceNames(const std::vector<TDeviceInfo>& devices, std::size_t limit = NameLength);

// Copies a name into a TWAIN string field, cut to fit and zero-filled.
void CopyName(TW_STR32& field, std::string_view text);

}  // namespace sanedsm
