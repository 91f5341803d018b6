// Progress and Cancel while a picture file loads or saves, in every format.
#include <gtest/gtest.h>

#include <cerrno>

#include "image/PictureFile.h"
#include "SampleFiles.h"

namespace {
// Keeps every report; answers false from report number `stopAt` on.
struct Recorder {
    std::size_t stopAt = SIZE_MAX;
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    ProgressCallback Callback() {
        return {[this](std::int64_t done, std::int64_t total) {
            reports.emplace_back(done, total);
            return reports.size() < stopAt;
        }};
    }
};

// 1000 x 600 with detail in every row: a TIFF keeps it in seven strips.
Bitmap ManyRows() {
    Bitmap picture(1000, 600);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            picture.SetColor(x, y, PackColor(std::uint8_t(x * y), std::uint8_t(x + y), std::uint8_t(x ^ y)));
    return picture;
}

const char* const Names[] = {"a.bmp", "a.jpg", "a.png", "a.tif"};

void ExpectRisingToTheEnd(const Recorder& run) {
    ASSERT_FALSE(run.reports.empty());
    const std::int64_t total = run.reports.front().second;
    int during = 0;
    for (std::size_t i = 0; i < run.reports.size(); ++i) {
        const auto [done, reportTotal] = run.reports[i];
        EXPECT_EQ(reportTotal, total);
        if (i > 0) {
            EXPECT_GE(done, run.reports[i - 1].first);
        }
        during += done > 0 && done < total;
    }
    EXPECT_EQ(run.reports.back().first, total);
    EXPECT_GE(during, 5) << "reports only at the ends";
}
}  // namespace

// A TIFF stored turned a quarter is decoded, then turned upright, on one scale.
TEST(FileProgress, LoadsAndSavesReportRisingToTheEndWhileRowsAreWorked) {
    ScratchFolder scratch;
    PictureMetadata turned;
    turned.StoredOrientation = 6;
    for (const char* name : Names) {
        SCOPED_TRACE(name);
        Recorder save, load;
        SavePicture(scratch / name, ManyRows(), FormatOfName(name), turned, save.Callback());
        ExpectRisingToTheEnd(save);
        const LoadedPicture loaded =
            LoadPictureFile(scratch / name, FormatOfName(name), OrientationRule::Upright, load.Callback());
        ExpectRisingToTheEnd(load);
        EXPECT_EQ(loaded.Picture.Height(), FormatOfName(name) == PictureFormat::Tiff ? 1000 : 600);
    }
}

// The cancel is the last report heard; the file on disk is the old one, byte for byte, and no
// temporary file is left (a named one here, as on a file system without unnamed files).
TEST(FileProgress, ACancelStopsLoadsAndSavesAtOnceAndKeepsTheOldFile) {
    ScratchFolder scratch;
    SetWriteFaultInjector([](WriteStep step) { return step == WriteStep::CreateUnnamed ? EOPNOTSUPP : 0; });
    for (const char* name : Names) {
        SCOPED_TRACE(name);
        const PictureFormat format = FormatOfName(name);
        const std::string many = scratch / (std::string("many-") + name);
        SavePicture(scratch / name, AsymmetricPicture(), format);
        SavePicture(many, ManyRows(), format);
        const std::vector<std::uint8_t> old = ReadWholeFile(scratch / name);
        Recorder save{3, {}}, load{3, {}};
        EXPECT_THROW(SavePicture(scratch / name, ManyRows(), format, {}, save.Callback()), ECancelled);
        EXPECT_THROW(LoadPictureFile(many, format, OrientationRule::Upright, load.Callback()), ECancelled);
        EXPECT_EQ(save.reports.size(), 3u);
        EXPECT_EQ(load.reports.size(), 3u);
        EXPECT_EQ(ReadWholeFile(scratch / name), old);
    }
    SetWriteFaultInjector(nullptr);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path), {}), 2 * std::size(Names));
}

// Another program cuts the file short while it loads: the pages past the new end of the
// mapped file are lost, and the load fails in words where it would have died of SIGBUS.
TEST(FileProgress, AFileCutShortDuringTheLoadIsAnError) {
    ScratchFolder scratch;
    for (const char* name : Names) {
        SCOPED_TRACE(name);
        const std::string path = scratch / name;
        SavePicture(path, ManyRows(), FormatOfName(name));
        const ProgressCallback cut{[&](std::int64_t, std::int64_t) {
            std::filesystem::resize_file(path, 0);
            return true;
        }};
        try {
            LoadPictureFile(path, FormatOfName(name), OrientationRule::Upright, cut);
            ADD_FAILURE() << "loaded";
        } catch (const EFileError& error) {
            EXPECT_EQ(error.what(), "\"" + path + "\" was cut short while it was read.");
        }
        SavePicture(path, ManyRows(), FormatOfName(name));  // a whole file loads as before
        EXPECT_EQ(LoadPicture(path, FormatOfName(name)).Height(), 600);
    }
}
