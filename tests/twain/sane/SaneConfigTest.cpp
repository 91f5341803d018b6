// Where libsane reads its configuration when the user has not said: the system folder, never
// the current one. A program of its own, since libsane reads SANE_CONFIG_DIR once a process.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <string>

#include "twain/sane/TwainSourceTypes.h"

namespace {
struct TBridge {
    void* library = dlopen(SANE_DSM_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    DSMENTRYPROC entry = library ? reinterpret_cast<DSMENTRYPROC>(dlsym(library, "DSM_Entry")) : nullptr;
    TW_IDENTITY app{};
    std::uintptr_t parent = 1;  // the manager only keeps it
    TW_UINT16 Manager(TW_UINT16 msg) { return entry(&app, nullptr, DG_CONTROL, DAT_PARENT, msg, &parent); }
};

std::string ConfigDir() {
    const char* value = std::getenv("SANE_CONFIG_DIR");
    return value ? value : "(unset)";
}
}  // namespace

TEST(SaneConfig, UnsetFolderBecomesTheSystemOneAndAGivenOneStays) {
    TBridge bridge;
    ASSERT_NE(bridge.entry, nullptr) << dlerror();
    bridge.app.ProtocolMajor = 1;
    bridge.app.ProtocolMinor = 9;
    bridge.app.SupportedGroups = DG_CONTROL | DG_IMAGE;
    std::strcpy(bridge.app.ProductName, "config test");

    ::unsetenv("SANE_CONFIG_DIR");
    bridge.Manager(MSG_OPENDSM);            // sane_init may fail without scanners; the folder is set first
    EXPECT_EQ(ConfigDir(), "/etc/sane.d");  // no trailing colon: "." is not searched after it
    bridge.Manager(MSG_CLOSEDSM);

    ::setenv("SANE_CONFIG_DIR", "/opt/scanners/sane.d:", 1);
    bridge.Manager(MSG_OPENDSM);
    EXPECT_EQ(ConfigDir(), "/opt/scanners/sane.d:");
    bridge.Manager(MSG_CLOSEDSM);
}

// The manager answers only on the thread of the program's QApplication.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
