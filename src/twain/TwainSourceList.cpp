#include "twain/TwainSourceList.h"

#include <cstring>

#include "twain/TwainSession.h"

namespace twain {
namespace {
// More than any machine has installed; a manager that never says TWRC_ENDOFLIST stops here.
constexpr std::size_t MostSources = 256;

bool SameSource(const TW_IDENTITY& a, const TW_IDENTITY& b) {
    if (a.Id != 0 && b.Id != 0) return a.Id == b.Id;
    return std::strncmp(a.ProductName, b.ProductName, sizeof a.ProductName) == 0;
}

// A TW_STR32 field as text: up to its first NUL, never past its 34 bytes.
std::string SourceText(const TW_STR32& field) { return std::string(field, strnlen(field, sizeof field)); }

std::string VersionText(const TW_VERSION& version) {
    const std::string number = std::to_string(version.MajorNum) + "." + std::to_string(version.MinorNum);
    const std::string info = SourceText(version.Info);
    return info.empty() ? number : number + " (" + info + ")";
}
}  // namespace

TTwainSourceEntry SourceEntry(const TW_IDENTITY& source) {
    return {SourceText(source.ProductName), SourceText(source.Manufacturer), SourceText(source.ProductFamily),
            VersionText(source.Version)};
}

TSourceList ListSources() {
    TSourceList list;
    TW_IDENTITY identity{};
    for (bool listed = CallManager(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity);
         listed && list.Sources.size() < MostSources;
         listed = CallManager(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity)) {
        list.Sources.push_back(identity);
        identity = TW_IDENTITY{};
    }
    if (list.Sources.empty()) return list;
    list.Default = 0;
    TW_IDENTITY fallback{};
    if (CallManager(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &fallback))
        for (std::size_t i = 0; i < list.Sources.size(); ++i)
            if (SameSource(list.Sources[i], fallback)) {
                list.Default = int(i);
                break;
            }
    return list;
}

}  // namespace twain
