#include "FilterFile.h"

#include "PictureFile.h"

namespace {
constexpr std::uint8_t CarriageReturn = 13, LineFeed = 10, EndOfText = 26;
}

TFilterFormulas ReadFilterText(const std::vector<std::uint8_t>& bytes) {
    std::string lines[3];
    std::size_t at = 0;
    const std::size_t end = bytes.size();
    for (std::string& line : lines) {
        // A line runs to its carriage return, byte 26 or the end; only the return is consumed.
        while (at < end && bytes[at] != CarriageReturn && bytes[at] != EndOfText) line += char(bytes[at++]);
        if (at == end || bytes[at] == EndOfText) break;
        ++at;
        if (at < end && bytes[at] == LineFeed) ++at;
    }
    return {lines[0], lines[1], lines[2]};
}

std::vector<std::uint8_t> FilterFileBytes(const TFilterFormulas& formulas) {
    std::vector<std::uint8_t> bytes;
    for (const std::string* line : {&formulas.Red, &formulas.Green, &formulas.Blue}) {
        bytes.insert(bytes.end(), line->begin(), line->end());
        bytes.push_back(CarriageReturn);
        bytes.push_back(LineFeed);
    }
    return bytes;
}

TFilterFormulas LoadFilterFile(const std::string& path) { return ReadFilterText(ReadWholeFile(path)); }

void SaveFilterFile(const std::string& path, const TFilterFormulas& formulas) {
    WriteFileAtomically(path, FilterFileBytes(formulas));
}
