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

#include "image/AtomicWrite.h"
#include "common/Errors.h"
#include "ScratchFolder.h"

namespace {
namespace fs = std::filesystem;
using namespace std::string_literals;

class SaveTarget : public ::testing::Test {
protected:
    TScratchFolder scratch{"corvalux-identity"};
    fs::path folder = scratch.Path();
    fs::path target = folder / "photo.bmp", twin = folder / "twin.bmp";
    fs::path backup = target.string() + ".corvalux-backup";

    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override {
        SetWriteFaultInjector(nullptr);
        std::error_code gone;  // a loop's own TearDown may have removed it
        fs::permissions(folder, fs::perms::owner_all, gone);
        fs::remove_all(folder);  // the loops below start each case afresh
    }
    int Entries() const { return int(std::distance(fs::directory_iterator(folder), fs::directory_iterator())); }
};

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::string text(fs::file_size(p), '\0');
    in.read(text.data(), std::streamsize(text.size()));
    return text;
}

// The message of the error saving `text` to `p` throws; "" when it saves.
std::string SaveError(const fs::path& p, const std::string& text) {
    try {
        WriteFileAtomically(p.string(), std::vector<std::uint8_t>(text.begin(), text.end()));
    } catch (const EFileError& error) {
        return error.what();
    }
    return "";
}

std::string AclOf(const fs::path& p) {
    const acl_t acl = ::acl_get_file(p.c_str(), ACL_TYPE_ACCESS);
    char* text = acl ? ::acl_to_text(acl, nullptr) : nullptr;
    const std::string result = text ? text : "";
    ::acl_free(text);
    ::acl_free(acl);
    return result;
}

// Fails the `nth` call of `step` with `error`, and every call of `also`.
void FailAt(WriteStep step, int nth, int error, std::optional<WriteStep> also = {}) {
    SetWriteFaultInjector(
        [=, calls = 0](WriteStep now) mutable { return now == also || (now == step && ++calls == nth) ? error : 0; });
}
}  // namespace

// Nothing may be written even should the refusal be missing: every step fails.
TEST_F(SaveTarget, OnlyARegularFileIsReplaced) {
    ASSERT_EQ(::mkfifo(target.c_str(), 0666), 0);
    fs::create_symlink("photo.bmp", folder / "pipe.bmp");
    fs::create_symlink("/dev/null", folder / "null.bmp");
    bool stepTaken = false;
    SetWriteFaultInjector([&](WriteStep) { return stepTaken = true, EROFS; });
    for (const fs::path& path : {target, folder / "pipe.bmp", folder / "null.bmp", folder}) {
        EXPECT_EQ(SaveError(path, "new"), "\"" + path.string() + "\" is not a regular file.");
        EXPECT_FALSE(stepTaken) << path;
    }
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(target)));
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status("/dev/null")));
}

TEST_F(SaveTarget, OwnerModeAclAttributesAndLinksAreKeptOnEveryWay) {
    const bool root = ::geteuid() == 0;
    const struct Way {
        const char* what;
        WriteStep step;
        int fault;
        bool linked, readOnlyFolder;
    } ways[] = {
        {"renamed", WriteStep::Rename, 0, false, false},
        {"hard-linked", WriteStep::Rename, 0, true, false},
        {"bind mount", WriteStep::Rename, EXDEV, false, false},
        {"busy mount", WriteStep::Rename, EBUSY, false, false},
        {"owner not ours to give", WriteStep::Identity, EPERM, false, false},
        {"read-only folder", WriteStep::Rename, 0, false, true},  // root writes any folder
    };
    for (const Way& way : ways) {
        if (way.readOnlyFolder && root) continue;
        SCOPED_TRACE(way.what);
        SetUp();
        ASSERT_EQ(SaveError(target, "old"), "");
        if (way.linked) fs::create_hard_link(target, twin);
        ASSERT_TRUE(!root || ::chown(target.c_str(), 12345, 23456) == 0);
        const acl_t acl = ::acl_from_text("u::rw-,u:4321:r--,g::r--,m::rw-,o::r--");
        const bool acls = ::acl_set_file(target.c_str(), ACL_TYPE_ACCESS, acl) == 0;  // else unsupported
        ::acl_free(acl);
        ASSERT_EQ(::chmod(target.c_str(), 06664), 0);  // group rw is the ACL's mask
        const bool notes = ::setxattr(target.c_str(), "user.note", "kept", 4, 0) == 0;
        struct stat before {};
        ::stat(target.c_str(), &before);
        const std::string aclBefore = AclOf(target);
        if (way.readOnlyFolder) fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);

        FailAt(way.step, 1, way.fault);
        EXPECT_EQ(SaveError(target, way.what), "");
        struct stat after {};
        ::stat(target.c_str(), &after);
        EXPECT_EQ(Read(target), way.what);
        EXPECT_EQ(Read(way.linked ? twin : target), way.what);
        EXPECT_EQ(after.st_ino == before.st_ino, way.linked || way.fault || way.readOnlyFolder) << "in place";
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(after.st_mode & 07777, before.st_mode & 0777) << "setuid and setgid go, the rest stays";
        EXPECT_TRUE(!acls || AclOf(target) == aclBefore) << AclOf(target);
        char note[8] = {};
        EXPECT_TRUE(!notes || (::getxattr(target.c_str(), "user.note", note, sizeof note) == 4 && note == "kept"s));
        EXPECT_EQ(Entries(), way.linked ? 2 : 1) << "no backup or temporary file is left";
        TearDown();
    }
}

// A fault at any step of an in-place write leaves the old contents under both names and no
// file beside them; one while they are put back leaves the backup, and says where it is.
TEST_F(SaveTarget, AFaultAtAnyStepOfAnInPlaceWriteKeepsTheOldContents) {
    const std::string old((1 << 20) + 5, 'o');  // two pieces for each copy
    const std::optional<WriteStep> none;
    const struct Case {
        WriteStep step;
        int nth;
        std::optional<WriteStep> also;
    } cases[] = {{WriteStep::Create, 1, none},
                 {WriteStep::Create, 2, none},
                 {WriteStep::Write, 1, none},
                 {WriteStep::Backup, 2, none},
                 {WriteStep::Overwrite, 2, none},
                 {WriteStep::Sync, 1, none},
                 {WriteStep::Overwrite, 2, WriteStep::Restore}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.step) * 10 + c.nth);
        SetUp();
        ASSERT_EQ(SaveError(target, old), "");
        fs::create_hard_link(target, twin);
        FailAt(c.step, c.nth, ENOSPC, c.also);
        const std::string error = SaveError(target, std::string((1 << 20) + 3, 'n'));
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
        EXPECT_EQ(error.find(backup.string()) != std::string::npos, bool(c.also)) << error;
        EXPECT_TRUE(Read(c.also ? backup : twin) == old);
        EXPECT_EQ(Entries(), c.also ? 3 : 2);
        EXPECT_EQ(TemporaryFileInProgress(), nullptr);
        TearDown();
    }
}

// Killed halfway through rewriting the file: the backup holds the old contents, and the next
// save names it rather than overwrite it.
TEST_F(SaveTarget, AKillMidWriteLeavesTheBackup) {
    GTEST_FLAG_SET(death_test_style, "fast");  // the child shares the folder
    const std::string old(2 << 20, 'o');
    ASSERT_EQ(SaveError(target, old), "");
    fs::create_hard_link(target, twin);
    EXPECT_EXIT(
        {
            SetWriteFaultInjector([calls = 0](WriteStep step) mutable {
                if (step == WriteStep::Overwrite && ++calls == 2) ::raise(SIGKILL);
                return 0;
            });
            SaveError(target, std::string(2 << 20, 'n'));
        },
        ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_TRUE(Read(backup) == old);
    EXPECT_EQ(Read(target).substr(0, 2), "nn");
    EXPECT_NE(SaveError(target, "newer").find(backup.string()), std::string::npos);
    EXPECT_TRUE(Read(backup) == old);
    fs::remove(backup);
    EXPECT_EQ(SaveError(target, "newer"), "");
    EXPECT_EQ(Read(twin), "newer");
}
