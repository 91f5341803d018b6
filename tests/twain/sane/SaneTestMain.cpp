// GoogleTest with a QApplication on the offscreen platform: the manager uses the program's
// application and its event loop.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // SANE unloads its backends at sane_exit. Kept mapped, the test backend's own leaks at
    // exit are reported under its name, which tests/lsan.supp can then name.
    dlopen(SANE_TEST_BACKEND, RTLD_LAZY | RTLD_NODELETE);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
