// What a save keeps of the file it replaces, whichever way it takes (a new file renamed into
// place, or the contents rewritten in place behind a backup), and what it never replaces.
#include <gtest/gtest.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "AtomicWrite.h"
#include "Errors.h"

namespace {
namespace fs = std::filesystem;

struct Folder {
    fs::path path = fs::temp_directory_path() / ("corvalux-identity-" + std::to_string(::getpid()));
    Folder() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() {
        SetWriteFaultInjector(nullptr);
        fs::permissions(path, fs::perms::owner_all);
        fs::remove_all(path);
    }
    int Entries() const { return int(std::distance(fs::directory_iterator(path), fs::directory_iterator())); }
};

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::string text(fs::file_size(p), '\0');
    in.read(text.data(), std::streamsize(text.size()));
    return text;
}

void Save(const fs::path& p, const std::string& text) {
    WriteFileAtomically(p.string(), std::vector<std::uint8_t>(text.begin(), text.end()));
}

struct stat Stat(const fs::path& p) {
    struct stat info {};
    EXPECT_EQ(::stat(p.c_str(), &info), 0) << p;
    return info;
}

std::string AclOf(const fs::path& p) {
    const acl_t acl = ::acl_get_file(p.c_str(), ACL_TYPE_ACCESS);
    char* text = acl ? ::acl_to_text(acl, nullptr) : nullptr;
    const std::string result = text ? text : "";
    ::acl_free(text);
    ::acl_free(acl);
    return result;
}

std::string Note(const fs::path& p) {
    char value[16];
    const ssize_t n = ::getxattr(p.c_str(), "user.note", value, sizeof value);
    return n < 0 ? "" : std::string(value, std::size_t(n));
}

// Fails the `nth` call of `step` with `error`, and every call of `also`.
void FailAt(WriteStep step, int nth, int error, std::optional<WriteStep> also = {}) {
    SetWriteFaultInjector([=, calls = 0](WriteStep now) mutable {
        if (now == also) return error;
        return now == step && ++calls == nth ? error : 0;
    });
}
}  // namespace

// Nothing may be written even should the refusal be missing: every step fails.
TEST(SaveTarget, OnlyARegularFileIsReplaced) {
    Folder folder;
    const fs::path fifo = folder.path / "pipe.bmp", fifoLink = folder.path / "pipe-link.bmp",
                   nullLink = folder.path / "null.bmp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    fs::create_symlink("pipe.bmp", fifoLink);
    fs::create_symlink("/dev/null", nullLink);
    bool stepTaken = false;
    SetWriteFaultInjector([&](WriteStep) { return stepTaken = true, EROFS; });
    for (const fs::path& path : {fifo, fifoLink, nullLink, folder.path}) {
        stepTaken = false;
        try {
            Save(path, "new");
            ADD_FAILURE() << path << " was replaced";
        } catch (const EFileError& error) {
            EXPECT_EQ(std::string(error.what()), "\"" + path.string() + "\" is not a regular file.");
        }
        EXPECT_FALSE(stepTaken) << path;
    }
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status("/dev/null")));
    EXPECT_EQ(folder.Entries(), 3);
}

TEST(SaveTarget, OwnerModeAclAttributesAndLinksAreKeptOnEveryWay) {
    const bool root = ::geteuid() == 0;
    const struct Way {
        const char* what;
        WriteStep step;
        int fault;
        bool linked, inPlace, readOnlyFolder;
    } ways[] = {
        {"renamed", WriteStep::Rename, 0, false, false, false},
        {"hard-linked", WriteStep::Rename, 0, true, true, false},
        {"bind mount", WriteStep::Rename, EXDEV, false, true, false},
        {"busy mount", WriteStep::Rename, EBUSY, false, true, false},
        {"owner not ours to give", WriteStep::Identity, EPERM, false, true, false},
        {"read-only folder", WriteStep::Rename, 0, false, true, true},
    };
    for (const Way& way : ways) {
        if (way.readOnlyFolder && root) continue;  // root writes any folder
        SCOPED_TRACE(way.what);
        Folder folder;
        const fs::path target = folder.path / "photo.jpg", twin = folder.path / "twin.jpg";
        Save(target, "old");
        if (way.linked) fs::create_hard_link(target, twin);
        if (root) {
            ASSERT_EQ(::chown(target.c_str(), 12345, 23456), 0);
        }
        const acl_t acl = ::acl_from_text("u::rw-,u:4321:r--,g::r--,m::rw-,o::r--");
        const bool acls = ::acl_set_file(target.c_str(), ACL_TYPE_ACCESS, acl) == 0;
        ::acl_free(acl);
        ASSERT_EQ(::chmod(target.c_str(), 06664), 0);  // group rw is the ACL's mask
        const bool notes = ::setxattr(target.c_str(), "user.note", "kept", 4, 0) == 0;
        const struct stat before = Stat(target);
        const std::string aclBefore = AclOf(target);
        if (way.readOnlyFolder) fs::permissions(folder.path, fs::perms::owner_read | fs::perms::owner_exec);

        FailAt(way.step, 1, way.fault);
        Save(target, way.what);
        const struct stat after = Stat(target);
        EXPECT_EQ(Read(target), way.what);
        if (way.linked) {
            EXPECT_EQ(Read(twin), way.what);
        }
        EXPECT_EQ(after.st_ino == before.st_ino, way.inPlace);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(after.st_mode & 07777, before.st_mode & 0777) << "setuid and setgid go, the rest stays";
        if (acls) {
            EXPECT_EQ(AclOf(target), aclBefore);
        }
        if (notes) {
            EXPECT_EQ(Note(target), "kept");
        }
        EXPECT_EQ(folder.Entries(), way.linked ? 2 : 1) << "no backup or temporary file is left";
    }
}

// A fault at any step of an in-place write leaves the old contents under both names and no
// file beside them; one while they are put back leaves the backup, and says where it is.
TEST(SaveInPlace, AFaultAtAnyStepKeepsTheOldContents) {
    const std::string old((1 << 20) + 5, 'o'), fresh((1 << 20) + 3, 'n');  // two pieces each
    const struct Case {
        WriteStep step;
        int nth;
        std::optional<WriteStep> also;
    } cases[] = {
        {WriteStep::Create, 1, {}},
        {WriteStep::Create, 2, {}},
        {WriteStep::Write, 1, {}},
        {WriteStep::Backup, 2, {}},
        {WriteStep::Overwrite, 2, {}},
        {WriteStep::Sync, 1, {}},
        {WriteStep::Overwrite, 2, WriteStep::Restore},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.step) * 10 + c.nth);
        Folder folder;
        const fs::path target = folder.path / "photo.bmp", twin = folder.path / "twin.bmp";
        const fs::path backup = target.string() + ".corvalux-backup";
        Save(target, old);
        fs::create_hard_link(target, twin);
        FailAt(c.step, c.nth, ENOSPC, c.also);
        try {
            Save(target, fresh);
            ADD_FAILURE() << "saved despite the fault";
        } catch (const EFileError& error) {
            EXPECT_NE(std::string(error.what()).find("No space left on device"), std::string::npos) << error.what();
            if (c.also) {
                EXPECT_NE(std::string(error.what()).find(backup.string()), std::string::npos) << error.what();
            }
        }
        EXPECT_TRUE(Read(c.also ? backup : twin) == old);
        EXPECT_EQ(folder.Entries(), c.also ? 3 : 2);
        EXPECT_EQ(TemporaryFileInProgress(), nullptr);
    }
}

// Killed halfway through rewriting the file: the backup holds the old contents, and the next
// save names it rather than overwrite it.
TEST(SaveInPlace, AKillMidWriteLeavesTheBackup) {
    GTEST_FLAG_SET(death_test_style, "fast");  // the child shares the folder
    Folder folder;
    const fs::path target = folder.path / "photo.bmp", backup = target.string() + ".corvalux-backup";
    const std::string old(2 << 20, 'o');
    Save(target, old);
    fs::create_hard_link(target, folder.path / "twin.bmp");
    EXPECT_EXIT(
        {
            SetWriteFaultInjector([calls = 0](WriteStep step) mutable {
                if (step == WriteStep::Overwrite && ++calls == 2) ::raise(SIGKILL);
                return 0;
            });
            Save(target, std::string(2 << 20, 'n'));
        },
        ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_TRUE(Read(backup) == old);
    EXPECT_EQ(Read(target).substr(0, 2), "nn");
    try {
        Save(target, "newer");
        ADD_FAILURE() << "the backup was overwritten";
    } catch (const EFileError& error) {
        EXPECT_NE(std::string(error.what()).find(backup.string()), std::string::npos) << error.what();
    }
    EXPECT_TRUE(Read(backup) == old);
    fs::remove(backup);
    Save(target, "newer");
    EXPECT_EQ(Read(folder.path / "twin.bmp"), "newer");
}
