// corvalux-batch across the four formats: conversion both ways, orientation, and metadata
// carried to a JPEG output.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "../image/CraftedSegments.h"
#include "ScratchFolder.h"
#include "batch/BatchTool.h"
#include "image/Exif.h"
#include "image/PictureFile.h"

namespace {
namespace fs = std::filesystem;

std::string Sample(const std::string& relative) { return (fs::path(CORVALUX_TESTDATA) / relative).string(); }

class BatchFormats : public ::testing::Test {
protected:
    TScratchFolder scratch{"corvalux-batch-formats"};
    const fs::path& folder = scratch.Path();
    std::ostringstream out, err;

    std::string Path(const std::string& name) { return (folder / name).string(); }
    int Run(const std::vector<std::string>& args) { return RunBatch(args, out, err); }
};

Bitmap Picture() {
    Bitmap b(9, 6);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) b.SetColor(x, y, PackColor(x * 28, y * 40, (x * y * 13) & 255));
    return b;
}
}  // namespace

TEST_F(BatchFormats, ConvertsBetweenTheFormatsItWrites) {
    const char* names[] = {"a.bmp", "b.jpg", "c.png", "d.tif", "e.webp"};
    for (const char* from : names) {
        SavePicture(Path(from), Picture(), FormatOfName(from));
        for (const char* to : names) {
            const std::string output = Path(std::string("out-") + from + "-" + to);
            ASSERT_EQ(Run({Path(from), "invert-all", "-o", output}), 0) << from << " -> " << to << ": " << err.str();
            const Bitmap converted = LoadPicture(output, FormatOfName(output));
            EXPECT_EQ(converted.Width(), 9) << from << " -> " << to;
            // Lossless all the way: the inverted picture exactly.
            const auto lossy = [](const std::string& name) {
                return name.ends_with(".jpg") || name.ends_with(".webp");
            };
            if (!lossy(from) && !lossy(to))
                EXPECT_EQ(RedOf(converted.GetColor(8, 5)), 255 - 8 * 28) << from << " -> " << to;
        }
    }
}

// The formats read only open by their names, upright, and are never written.
TEST_F(BatchFormats, ReadsHeifAvifAndJpegXl) {
    for (const char* sample : {"modern/heic-q90.heic", "modern/avif-rotated.avif", "modern/jxl-exif6.jxl"}) {
        ASSERT_EQ(Run({Sample(sample), "-o", Path("out.png")}), 0) << sample << ": " << err.str();
        EXPECT_EQ(LoadPicture(Path("out.png"), PictureFormat::Png).Width(), 79) << sample;
    }
    EXPECT_EQ(Run({Sample("modern/heic-q90.heic"), "-o", Path("out.heic")}), 1);
    EXPECT_FALSE(fs::exists(Path("out.heic")));
}

TEST_F(BatchFormats, LoadsUprightUnlessToldToKeepTheStoredPixels) {
    const std::string input = Sample("orientation/Landscape_6.jpg");
    ASSERT_EQ(Run({input, "-o", Path("upright.bmp")}), 0) << err.str();
    EXPECT_EQ(LoadPicture(Path("upright.bmp"), PictureFormat::Bitmap).Width(), 400);
    ASSERT_EQ(Run({"--keep-orientation", input, "-o", Path("stored.bmp")}), 0) << err.str();
    EXPECT_EQ(LoadPicture(Path("stored.bmp"), PictureFormat::Bitmap).Width(), 267);
}

TEST_F(BatchFormats, CarriesMetadataToAJpegOutput) {
    ASSERT_EQ(Run({Sample("photos/hopper_orientation_6.jpg"), "grayscale", "-o", Path("out.jpeg")}), 0) << err.str();
    const LoadedPicture saved = LoadPictureFile(Path("out.jpeg"), PictureFormat::Jpeg);
    ASSERT_FALSE(saved.Metadata.Segments.empty());
    EXPECT_TRUE(IsExifSegment(saved.Metadata.Segments[0]));
    EXPECT_EQ(ExifOrientation(saved.Metadata), 1);
}

// Metadata the input's load or the output's save leaves out is a warning naming the file; the
// run still succeeds.
TEST_F(BatchFormats, MetadataLeftOutIsAWarningAndTheRunSucceeds) {
    std::vector<MetadataSegment> segments(2000, {MarkerComment, {}});
    segments[0] = {MarkerApp1, GrowingExifBlock()};
    WriteFileAtomically(Path("in.jpg"), WithSegments(ReadWholeFile(Sample("jpeg/testorig.jpg")), segments));
    ASSERT_EQ(Run({Path("in.jpg"), "-o", Path("out.jpg")}), 0) << err.str();
    const std::string left = "corvalux-batch: warning: " + Path("in.jpg") + ": 976 metadata segments (0 bytes)";
    const std::string grown = "corvalux-batch: warning: " + Path("out.jpg") + ": The EXIF block grew to";
    EXPECT_EQ(err.str().find(left), 0u) << err.str();
    EXPECT_NE(err.str().find("\n" + grown), std::string::npos) << err.str();
}
