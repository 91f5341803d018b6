#pragma once
// The sample files kept with the tests (tests/data, CORVALUX_TESTDATA), a scratch folder,
// and the small asymmetric picture the format tests write and read back.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureFile.h"
#include "ScratchFolder.h"

inline std::string SamplePath(const std::string& relative) {
    return (std::filesystem::path(CORVALUX_TESTDATA) / relative).string();
}

inline std::vector<std::uint8_t> ReadSample(const std::string& relative) { return ReadWholeFile(SamplePath(relative)); }

// Names (relative to tests/data) of the files in `folder` ending in `extension`; sorted.
inline std::vector<std::string> SampleFiles(const std::string& folder, const std::string& extension) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(CORVALUX_TESTDATA) / folder))
        if (entry.path().extension() == extension) files.push_back(folder + "/" + entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

// A file name made fit for a test name ("png/basn0g01.png" -> "basn0g01").
inline std::string SampleTestName(const std::string& relative) {
    std::string name = std::filesystem::path(relative).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

struct ScratchFolder {
    TScratchFolder scratch{"corvalux-formats"};
    const std::filesystem::path& path = scratch.Path();
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

// 7 x 5, no symmetry, every channel different: catches flips, transposes and swapped
// red and blue at once.
inline Bitmap AsymmetricPicture() {
    Bitmap picture(7, 5);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            picture.SetColor(x, y,
                             PackColor(std::uint8_t(x * 36 + y), std::uint8_t(250 - y * 60 - x),
                                       std::uint8_t((x * y * 29 + 7) & 255)));
    return picture;
}
