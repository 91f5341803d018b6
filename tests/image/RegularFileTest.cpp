// Inputs that are not regular files are refused at once: a FIFO without a writer would block
// the open for ever, and a device would be read without end.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "common/Errors.h"
#include "image/PictureFile.h"
#include "ScratchFolder.h"

namespace {
namespace fs = std::filesystem;

// Ends the test program instead of letting a blocked open hang it.
struct Watchdog {
    explicit Watchdog(unsigned seconds) { ::alarm(seconds); }
    ~Watchdog() { ::alarm(0); }
};
}  // namespace

TEST(RegularFile, AnythingButARegularFileIsRefusedWithoutWaiting) {
    const TScratchFolder scratch("corvalux-special");
    const fs::path& folder = scratch.Path();
    const fs::path fifo = folder / "pipe.bmp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path fifoLink = folder / "link.jpg";
    fs::create_symlink(fifo, fifoLink);
    const Watchdog watchdog(30);
    const std::function<void(const std::string&)> readers[] = {
        [](const std::string& path) { ReadWholeFile(path); },
        [](const std::string& path) { LoadPicture(path, PictureFormat::Bitmap); },
        [](const std::string& path) { LoadPicture(path, PictureFormat::Jpeg); },
    };
    for (const fs::path& path : {fifo, fifoLink, fs::path("/dev/zero"), fs::path("/dev/null"), folder}) {
        if (!fs::exists(path)) continue;
        for (const auto& read : readers) {
            try {
                read(path.string());
                ADD_FAILURE() << path << " was read";
            } catch (const EFileError& error) {
                EXPECT_EQ(std::string(error.what()), "\"" + path.string() + "\" is not a regular file.");
            }
        }
    }
    fs::remove_all(folder);
}

TEST(RegularFile, MissingAndEmptyFiles) {
    const TScratchFolder scratch("corvalux-plain");
    const fs::path& folder = scratch.Path();
    try {
        ReadWholeFile((folder / "missing.bmp").string());
        ADD_FAILURE() << "read";
    } catch (const EFileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot access file \"" + (folder / "missing.bmp").string() + "\": No such file or directory");
    }
    const fs::path empty = folder / "empty.bmp";
    WriteFileAtomically(empty.string(), std::vector<std::uint8_t>{});
    EXPECT_TRUE(ReadWholeFile(empty.string()).empty());
    EXPECT_THROW(LoadPicture(empty.string(), PictureFormat::Bitmap), EInvalidGraphic);
    WriteFileAtomically(empty.string(), std::vector<std::uint8_t>{'a', 'b'});
    EXPECT_EQ(ReadWholeFile(empty.string()), (std::vector<std::uint8_t>{'a', 'b'}));
    fs::remove_all(folder);
}
