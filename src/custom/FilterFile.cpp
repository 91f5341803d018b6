#include "custom/FilterFile.h"

#include <algorithm>

#include "common/Errors.h"
#include "image/PictureFile.h"
#include "image/RegularFile.h"

namespace {
constexpr std::uint8_t CarriageReturn = 13, LineFeed = 10, EndOfText = 26;
}

TFilterFormulas ReadFilterText(const std::vector<std::uint8_t>& bytes) {
    std::string lines[3];
    auto at = bytes.begin();
    const std::uint8_t ends[] = {CarriageReturn, EndOfText};
    for (std::string& line : lines) {
        // A line runs to its carriage return, byte 26 or the end; only the return is consumed.
        const auto lineEnd = std::find_first_of(at, bytes.end(), std::begin(ends), std::end(ends));
        line.assign(at, lineEnd);
        at = lineEnd;
        if (at == bytes.end() || *at == EndOfText) break;
        ++at;
        if (at != bytes.end() && *at == LineFeed) ++at;
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

TFilterFormulas LoadFilterFile(const std::string& path) {
    // Refused before it is read: three formulas never come near this, and a huge file (a
    // sparse one costs nothing on disk) would take minutes and gigabytes to find that out.
    const auto tooLarge = [&](std::size_t size) {
        return EFileError("\"" + path + "\" is not a filter file: " + std::to_string(size) + " bytes, more than " +
                          std::to_string(MaxFilterFileBytes) + ".");
    };
    if (const std::size_t size = OpenRegularFile(path).Size; size > MaxFilterFileBytes) throw tooLarge(size);
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    if (bytes.size() > MaxFilterFileBytes) throw tooLarge(bytes.size());  // grown meanwhile
    return ReadFilterText(bytes);
}

void SaveFilterFile(const std::string& path, const TFilterFormulas& formulas) {
    WriteFileAtomically(path, FilterFileBytes(formulas));
}
