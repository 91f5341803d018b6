// Replacing a file: through links, keeping permissions, refusing read-only files, long names,
// and no temporary file left by a failure or a killed program. Every rule holds both for the
// unnamed temporary file and for the named one used where a file system has no unnamed files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <grp.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "image/AtomicWrite.h"
#include "common/Errors.h"
#include "image/PictureFile.h"
#include "ScratchFolder.h"

namespace {
namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& p, const std::string& text) {
    WriteFileAtomically(p.string(), std::vector<std::uint8_t>(text.begin(), text.end()));
}

unsigned ModeOf(const fs::path& p) {
    struct stat info {};
    EXPECT_EQ(::stat(p.c_str(), &info), 0) << p;
    return info.st_mode & 07777;
}

enum class Temporary { Unnamed, Named };

class AtomicWrite : public ::testing::TestWithParam<Temporary> {
protected:
    TScratchFolder scratch{"corvalux-atomic"};
    const fs::path& folder = scratch.Path();

    void SetUp() override {
        if (GetParam() == Temporary::Unnamed && !UnnamedFilesWork(folder))
            GTEST_SKIP() << "the temporary folder's file system has no O_TMPFILE";
        Inject([](WriteStep) { return 0; });
    }
    void TearDown() override { SetWriteFaultInjector(nullptr); }
    // Installs `fault`, and for the named case makes unnamed files refused as well.
    void Inject(std::function<int(WriteStep)> fault) {
        const bool named = GetParam() == Temporary::Named;
        SetWriteFaultInjector([fault, named](WriteStep step) {
            if (named && step == WriteStep::CreateUnnamed) return EOPNOTSUPP;
            return fault(step);
        });
    }
    int Entries() const { return int(std::distance(fs::directory_iterator(folder), fs::directory_iterator())); }

public:
    static bool UnnamedFilesWork(const fs::path& where) {
        const int fd = ::open(where.c_str(), O_TMPFILE | O_WRONLY, 0600);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }
};

std::string Name(const ::testing::TestParamInfo<Temporary>& info) {
    return info.param == Temporary::Unnamed ? "Unnamed" : "Named";
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicWrite, ::testing::Values(Temporary::Unnamed, Temporary::Named), Name);

TEST_P(AtomicWrite, ReplacesKeepingTheModeAndLeavesNothingElse) {
    const fs::path target = folder / "a.bmp";
    Write(target, "one");
    EXPECT_EQ(Read(target), "one");
    EXPECT_EQ(
        ModeOf(target), 0666u & ~[] {
            const mode_t m = ::umask(0);
            ::umask(m);
            return unsigned(m);
        }());
    ::chmod(target.c_str(), 0640);
    Write(target, "two");
    EXPECT_EQ(Read(target), "two");
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_EQ(Entries(), 1);
    EXPECT_EQ(TemporaryFileInProgress(), nullptr);
}

TEST_P(AtomicWrite, AFaultAtAnyStepKeepsTheOldFileAndLeavesNothing) {
    const fs::path target = folder / "keep.bmp";
    Write(target, "old");
    for (WriteStep step : {WriteStep::Create, WriteStep::CreateUnnamed, WriteStep::Write, WriteStep::Sync,
                           WriteStep::Link, WriteStep::Close, WriteStep::Rename}) {
        if (GetParam() == Temporary::Named && (step == WriteStep::CreateUnnamed || step == WriteStep::Link))
            continue;  // steps of the unnamed file only
        Inject([step](WriteStep now) { return now == step ? ENOSPC : 0; });
        try {
            SavePicture(target.string(), Bitmap(300, 200), PictureFormat::Bitmap);
            ADD_FAILURE() << "saved despite the fault at step " << int(step);
        } catch (const EFileError& error) {
            EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos) << error.what();
        }
        EXPECT_EQ(Read(target), "old") << int(step);
        EXPECT_EQ(Entries(), 1) << "a temporary file was left at step " << int(step);
        EXPECT_EQ(TemporaryFileInProgress(), nullptr) << int(step);
    }
}

TEST_P(AtomicWrite, AnEncoderFailureLeavesNothing) {
    const fs::path target = folder / "keep.jpg";
    Write(target, "old");
    EXPECT_THROW(SavePicture(target.string(), Bitmap(65501, 1), PictureFormat::Jpeg), EJpegError);
    EXPECT_THROW(WriteFileAtomically(target.string(),
                                     [](const auto& write) {
                                         const std::uint8_t half[] = {1, 2, 3};
                                         write(half, sizeof half);
                                         throw EInvalidGraphic();
                                     }),
                 EInvalidGraphic);
    EXPECT_EQ(Read(target), "old");
    EXPECT_EQ(Entries(), 1);
}

TEST_P(AtomicWrite, LinksAreFollowedAndKept) {
    fs::create_directories(folder / "photos");
    const fs::path target = folder / "photos" / "target.bmp";
    Write(target, "old");
    ::chmod(target.c_str(), 0604);
    struct Case {
        const char* what;
        fs::path link;
        fs::path pointsTo;
    } cases[] = {
        {"relative link", folder / "rel.bmp", "photos/target.bmp"},
        {"absolute link", folder / "abs.bmp", target},
        {"link to a link", folder / "chain.bmp", "rel.bmp"},
    };
    for (const Case& c : cases) fs::create_symlink(c.pointsTo, c.link);
    for (const Case& c : cases) {
        Write(c.link, c.what);
        EXPECT_TRUE(fs::is_symlink(c.link)) << c.what;
        EXPECT_EQ(Read(target), c.what);
        EXPECT_EQ(ModeOf(target), 0604u) << "the target's bits survive: " << c.what;
    }
    EXPECT_EQ(Entries(), 4);  // the folder and three links: no temporary file anywhere
    EXPECT_EQ(int(std::distance(fs::directory_iterator(folder / "photos"), fs::directory_iterator())), 1);

    // A link to a file that is not there yet makes that file.
    fs::create_symlink("new.bmp", folder / "dangling.bmp");
    Write(folder / "dangling.bmp", "made");
    EXPECT_TRUE(fs::is_symlink(folder / "dangling.bmp"));
    EXPECT_EQ(Read(folder / "new.bmp"), "made");

    // A loop is an error, and nothing is made.
    fs::create_symlink("loop2.bmp", folder / "loop1.bmp");
    fs::create_symlink("loop1.bmp", folder / "loop2.bmp");
    try {
        Write(folder / "loop1.bmp", "x");
        ADD_FAILURE() << "wrote through a loop";
    } catch (const EFileError& error) {
        EXPECT_NE(std::string(error.what()).find("Too many levels of symbolic links"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(Entries(), 8);
}

// Refused by its mode bits, so the rule holds for root too (which the kernel lets write).
TEST_P(AtomicWrite, AReadOnlyFileIsRefused) {
    const fs::path target = folder / "locked.bmp";
    Write(target, "old");
    ::chmod(target.c_str(), 0444);
    fs::create_symlink("locked.bmp", folder / "link.bmp");
    for (const fs::path& path : {target, folder / "link.bmp"}) {
        try {
            Write(path, "new");
            ADD_FAILURE() << "replaced a read-only file through " << path;
        } catch (const EFileError& error) {
            EXPECT_EQ(std::string(error.what()), "Cannot access file \"" + path.string() + "\": Permission denied");
        }
        EXPECT_EQ(Read(target), "old");
        EXPECT_EQ(ModeOf(target), 0444u);
    }
    EXPECT_EQ(Entries(), 2);
    // Writable by someone (the group here) but not by us: refused. Root may write any file, so
    // as root the rule is checked in a child that has become the user nobody, without groups;
    // nobody is given the folder, so that only the target's own mode can refuse.
    ::chmod(target.c_str(), 0464);
    if (::geteuid() != 0) {
        EXPECT_THROW(Write(target, "new"), EFileError);
        EXPECT_EQ(Read(target), "old");
        return;
    }
    constexpr uid_t Nobody = 65534;
    ASSERT_EQ(::chown(folder.c_str(), Nobody, Nobody), 0);
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            if (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) std::_Exit(2);
            try {
                Write(target, "new");
            } catch (const EFileError&) {
                std::_Exit(Read(target) == "old" ? 0 : 3);
            }
            std::_Exit(1);  // replaced
        },
        ::testing::ExitedWithCode(0), "");
}

// The temporary name used to add 7 bytes to the file's name, past the 255 allowed.
TEST_P(AtomicWrite, NamesUpTo255BytesCanBeSaved) {
    for (std::size_t length = 248; length <= 255; ++length) {
        const fs::path target = folder / (std::string(length - 4, 'n') + ".bmp");
        SavePicture(target.string(), Bitmap(3, 2), PictureFormat::Bitmap);
        SavePicture(target.string(), Bitmap(5, 4), PictureFormat::Bitmap);  // and replaced
        EXPECT_EQ(LoadPicture(target.string(), PictureFormat::Bitmap).Width(), 5) << length;
        EXPECT_EQ(Entries(), 1) << length;
        fs::remove(target);
    }
}

// Killed in the middle of writing (SIGKILL cannot be caught): the unnamed file goes with the
// program, and neither a temporary file nor a half-written target is left.
TEST(AtomicWriteKilled, NothingIsLeftAfterKill) {
    GTEST_FLAG_SET(death_test_style, "fast");  // the child shares this test's folder
    const TScratchFolder scratch("corvalux-killed");
    const fs::path& folder = scratch.Path();
    if (!AtomicWrite::UnnamedFilesWork(folder)) GTEST_SKIP() << "the file system has no O_TMPFILE";
    const fs::path target = folder / "big.bmp";
    EXPECT_EXIT(WriteFileAtomically(target.string(),
                                    [](const auto& write) {
                                        const std::vector<std::uint8_t> piece(4 << 20, 7);
                                        write(piece.data(), piece.size());
                                        write(piece.data(), piece.size());
                                        ::raise(SIGKILL);
                                    }),
                ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_TRUE(fs::is_empty(folder)) << fs::directory_iterator(folder)->path();
    fs::remove_all(folder);
}

// Small pieces are gathered into large writes, and large pieces go straight through: the file
// holds every byte once, in order, whatever the mix.
TEST_P(AtomicWrite, PiecesOfEverySizeArriveInOrder) {
    const fs::path target = folder / "pieces.bmp";
    std::string expected;
    WriteFileAtomically(target.string(), [&](const auto& write) {
        std::uint32_t counter = 0;
        // 1,100 pieces of 1,000 bytes pass the 1 MiB gathering buffer; 1 MiB goes straight through.
        for (const auto& [size, count] :
             {std::pair{std::size_t(1000), 1100}, {std::size_t(1) << 20, 1}, {std::size_t(1), 3}}) {
            for (int repeat = 0; repeat < count; ++repeat) {
                std::string piece(size, '\0');
                for (char& b : piece) b = char((++counter * 2654435761u) >> 24);
                expected += piece;
                write(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size());
            }
        }
    });
    const std::string written = Read(target);
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
    EXPECT_EQ(Entries(), 1);
}
