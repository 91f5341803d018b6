#pragma once
// The program's windows built around a fake user interface, in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "FakeUserInterface.h"
#include "ScratchFolder.h"
#include "app/Forms.h"

// A picture whose every pixel is distinct, with a red top-left and a blue bottom-right corner,
// so that flips, shifts and channel swaps show.
Bitmap TestPicture(int width, int height);

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes `picture` as a BMP named `name` in the temporary folder and returns its path.
    std::string WriteBmp(const std::string& name, const Bitmap& picture);
    // Builds the windows as the program does, with `argument` as the first argument.
    void Start(const std::string& argument = "");

    TMainForm& Main() { return *forms->MainForm; }
    // From now on every long command's progress dialog shows at once and is cancelled by real
    // input to its window, as the window system delivers it: a click on Cancel, Escape, or its
    // close box; the count of dialogs shown so far is in cancelledDialogs.
    enum class CancelBy { Click, Escape, CloseBox };
    void PressCancelInEveryProgressDialog(CancelBy how = CancelBy::Click);
    int cancelledDialogs = 0;
    bool Enabled(const std::string& action);

    TScratchFolder scratch{"corvalux-app"};
    const std::filesystem::path& folder = scratch.Path();
    FakeUserInterface ui;
    std::unique_ptr<TForms> forms;
};
