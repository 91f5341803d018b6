#pragma once
// The shared sample pictures (CORVALUX_TESTDATA) and small helpers for the codec tests.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureFile.h"

inline std::string TestDataPath(const std::string& relative) {
    return (std::filesystem::path(CORVALUX_TESTDATA) / relative).string();
}

// Paths, relative to the test data folder, of the files under `folder` (searched
// recursively) whose names end in `extension` in any case; sorted.
inline std::vector<std::string> TestDataFiles(const std::string& folder, std::string extension) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return s;
    };
    extension = lower(extension);
    const std::filesystem::path root(CORVALUX_TESTDATA);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder))
        if (entry.is_regular_file() && lower(entry.path().extension().string()) == extension)
            files.push_back(std::filesystem::relative(entry.path(), root).generic_string());
    std::sort(files.begin(), files.end());
    return files;
}

inline std::vector<std::uint8_t> ReadTestFile(const std::string& relative) {
    return ReadWholeFile(TestDataPath(relative));
}

// A test name made of the path's letters and digits ("bmpsuite/g/pal8-0.bmp" -> "g_pal8_0").
inline std::string TestNameOfPath(const std::string& relative) {
    std::string name = std::filesystem::path(relative).parent_path().filename().string() + "_" +
                       std::filesystem::path(relative).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

// The largest difference of any channel of any pixel; both pictures must have one size.
inline int MaxChannelDifference(const Bitmap& a, const Bitmap& b) {
    int largest = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (std::size_t i = 0; i < a.RowBytes(); ++i) largest = std::max(largest, std::abs(a.Row(y)[i] - b.Row(y)[i]));
    return largest;
}

inline double MeanChannelDifference(const Bitmap& a, const Bitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (std::size_t i = 0; i < a.RowBytes(); ++i) sum += std::abs(a.Row(y)[i] - b.Row(y)[i]);
    return a.Empty() ? 0 : sum / (double(a.Width()) * a.Height() * 3);
}
