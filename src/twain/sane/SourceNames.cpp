#include "twain/sane/SourceNames.h"

#include <cstring>
#include <map>

namespace sanedsm {

std::string CutName(std::string_view text, std::size_t limit) {
    std::size_t end = std::min(text.size(), limit);
    // Step back over continuation bytes so the cut falls between characters.
    if (end < text.size())
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return std::string(text.substr(0, end));
}

std::string SourceName(const std::string& vendor, const std::string& model, const std::string& type,
                       const std::string& device, std::size_t limit) {
    std::string name;
    for (const std::string* part : {&vendor, &model, &type}) {
        const std::size_t first = part->find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        const std::size_t last = part->find_last_not_of(" \t");
        if (!name.empty()) name += ' ';
        name += part->substr(first, last - first + 1);
    }
    return CutName(name.empty() ? device : name, limit);
}

std::vector<std::string> UniqueNames(const std::vector<std::string>& names, std::size_t limit) {
    std::vector<std::string> unique;
    std::map<std::string, int> seen;
    for (const std::string& name : names) {
        const int count = ++seen[name];
        if (count == 1) {
            unique.push_back(name);
            continue;
        }
        const std::string suffix = " #" + std::to_string(count);
        unique.push_back(CutName(name, limit - suffix.size()) + suffix);
    }
    return unique;
}

std::vector<std::string> SourceNames(const std::vector<TDeviceInfo>& devices, std::size_t limit) {
    std::vector<std::string> names;
    for (const TDeviceInfo& d : devices) names.push_back(SourceName(d.Vendor, d.Model, d.Type, d.Name, limit));
    return UniqueNames(names, limit);
}

void CopyName(TW_STR32& field, std::string_view text) {
    const std::string cut = CutName(text, sizeof field - 2);
    std::memset(field, 0, sizeof field);
    std::memcpy(field, cut.data(), cut.size());
}

}  // namespace sanedsm
