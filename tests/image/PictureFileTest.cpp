#include "image/PictureFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "image/Bitmap.h"
#include "common/Errors.h"
#include "ScratchFolder.h"

namespace {
namespace fs = std::filesystem;

struct TempFolder {
    TScratchFolder scratch{"corvalux-file"};
    const fs::path& path = scratch.Path();
    int Entries() const { return int(std::distance(fs::directory_iterator(path), fs::directory_iterator())); }
};

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

TEST(PictureFile, FormatComesFromTheUpperCasedFileName) {
    struct Case {
        std::string path;
        PictureFormat format;
    } cases[] = {
        {"photo.JPG", PictureFormat::Jpeg},        {"PHOTO.jpg", PictureFormat::Jpeg},
        {"photo.jpeg", PictureFormat::Jpeg},       {"x.png", PictureFormat::Png},
        {"/scans.bmp/x.jpg", PictureFormat::Jpeg}, {"/old.BMP/new.JPG", PictureFormat::Jpeg},
        {"a.bMp", PictureFormat::Bitmap},          {"", PictureFormat::Refused},
        {"notes.jpgx", PictureFormat::Jpeg},       {"bmp", PictureFormat::Refused},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatOfName(c.path), c.format) << c.path;
}

TEST(PictureFile, AtomicWriteReplacesAndKeepsTheMode) {
    TempFolder folder;
    const fs::path target = folder.path / "a.bmp";
    WriteFileAtomically(target.string(), {'o', 'n', 'e'});
    EXPECT_EQ(Read(target), "one");
    ::chmod(target.c_str(), 0640);
    WriteFileAtomically(target.string(), {'t', 'w', 'o'});
    EXPECT_EQ(Read(target), "two");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(folder.Entries(), 1);
}

TEST(PictureFile, FailedWriteLeavesNothingBehind) {
    TempFolder folder;
    const fs::path taken = folder.path / "taken.bmp";
    fs::create_directories(taken / "inside");  // a non-empty folder cannot be renamed over
    try {
        WriteFileAtomically(taken.string(), {'x'});
        FAIL() << "no error";
    } catch (const EFileError& error) {
        EXPECT_NE(std::string(error.what()).find("taken.bmp"), std::string::npos);
    }
    EXPECT_EQ(folder.Entries(), 1);
    EXPECT_THROW(WriteFileAtomically((folder.path / "missing" / "x.bmp").string(), {'x'}), EFileError);
    EXPECT_THROW(ReadWholeFile((folder.path / "missing.bmp").string()), EFileError);
    EXPECT_THROW(ReadWholeFile(folder.path.string()), EFileError);  // a folder is not a file
}

TEST(PictureFile, AFaultAtAnyStepKeepsTheOldFile) {
    TempFolder folder;
    const fs::path target = folder.path / "keep.bmp";
    WriteFileAtomically(target.string(), {'o', 'l', 'd'});
    for (WriteStep step : {WriteStep::Create, WriteStep::Write, WriteStep::Sync, WriteStep::Close, WriteStep::Rename}) {
        SetWriteFaultInjector([step](WriteStep now) { return now == step ? ENOSPC : 0; });
        try {
            SavePicture(target.string(), Bitmap(300, 200), PictureFormat::Bitmap);
            ADD_FAILURE() << "saved despite the fault at step " << int(step);
        } catch (const EFileError& error) {
            EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos) << error.what();
        }
        SetWriteFaultInjector(nullptr);
        EXPECT_EQ(Read(target), "old") << int(step);
        EXPECT_EQ(folder.Entries(), 1) << "a temporary file was left at step " << int(step);
    }
}

TEST(PictureFile, UnwritableFolderKeepsTheOldFile) {
    TempFolder folder;
    // Root ignores folder permissions; /proc is read-only for everyone.
    const bool root = ::geteuid() == 0;
    const fs::path target = root ? fs::path("/proc/corvalux-test.bmp") : folder.path / "locked" / "keep.bmp";
    if (!root) {
        fs::create_directories(target.parent_path());
        WriteFileAtomically(target.string(), {'o', 'l', 'd'});
        // A writable file in a read-only folder is rewritten in place; this one is read-only too.
        fs::permissions(target, fs::perms::owner_read);
        fs::permissions(target.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_THROW(SavePicture(target.string(), Bitmap(3, 2), PictureFormat::Bitmap), EFileError);
    if (!root) {
        EXPECT_EQ(Read(target), "old");
        fs::permissions(target.parent_path(), fs::perms::owner_all);
    }
    EXPECT_FALSE(fs::exists(target.string() + ".tmp"));
}
