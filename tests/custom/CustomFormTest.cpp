#include "custom/Custom.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ScratchFolder.h"

namespace {
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The window with every callback recorded and the dialogs and questions scripted.
class CustomFormTest : public ::testing::Test {
protected:
    TScratchFolder scratch{"corvalux-custom-ui"};
    const fs::path& folder = scratch.Path();
    TCustomFilterForm form;
    std::vector<std::string> boxes;  // "Information: ...", "Confirm: ...", "Error: ..."
    std::vector<TFilterFormulas> applied;
    bool applySucceeds = true;
    std::optional<bool> mainEnabled;
    std::deque<std::optional<std::string>> dialogAnswers;
    std::deque<bool> confirmAnswers;

    void SetUp() override {
        form.OnApply = [this](const std::string& r, const std::string& g, const std::string& b) {
            applied.push_back({r, g, b});
            return applySucceeds;
        };
        form.SetMainEnabled = [this](bool enabled) { mainEnabled = enabled; };
        form.Inform = [this](const std::string& text) { boxes.push_back("Information: " + text); };
        form.ShowError = [this](const std::string& text) { boxes.push_back("Error: " + text); };
        form.Confirm = [this](const std::string& text) {
            boxes.push_back("Confirm: " + text);
            const bool answer = confirmAnswers.empty() || confirmAnswers.front();
            if (!confirmAnswers.empty()) confirmAnswers.pop_front();
            return answer;
        };
        auto dialog = [this]() -> std::optional<std::string> {
            if (dialogAnswers.empty()) return std::nullopt;
            auto answer = dialogAnswers.front();
            dialogAnswers.pop_front();
            return answer;
        };
        form.OpenFilterDialog = dialog;
        form.SaveFilterDialog = dialog;
    }

    void Type(const char* r, const char* g, const char* b) {
        for (auto [edit, text] : {std::pair{form.REdit, r}, {form.GEdit, g}, {form.BEdit, b}}) {
            edit->clear();
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
    }
    // Save, OK and Clear always move together.
    bool ButtonsEnabled() {
        EXPECT_EQ(form.SaveButton->isEnabled(), form.OKButton->isEnabled());
        EXPECT_EQ(form.ClearButton->isEnabled(), form.OKButton->isEnabled());
        return form.OKButton->isEnabled();
    }
    std::string Write(const char* name, const std::string& bytes) {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};
}  // namespace

TEST_F(CustomFormTest, StartsAsDesigned) {
    EXPECT_EQ(form.windowTitle(), "Custom filter");
    EXPECT_EQ(form.size(), QSize(487, 153));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(form.GroupBox1->title(), "Filter options");
    EXPECT_EQ(form.Label1->text(), "R2 = ");
    EXPECT_EQ(form.Label2->text(), "G2 = ");
    EXPECT_EQ(form.Label3->text(), "B2 = ");
    EXPECT_EQ(form.REdit->toolTip(), "This expression controls the Red channel");
    EXPECT_EQ(form.GEdit->toolTip(), "This expression controls the Green channel");
    EXPECT_EQ(form.BEdit->toolTip(), "This expression controls the Blue channel");
    for (QLineEdit* edit : {form.REdit, form.GEdit, form.BEdit}) {
        EXPECT_TRUE(edit->font().bold());
        EXPECT_TRUE(edit->text().isEmpty());
    }
    struct {
        QPushButton* button;
        const char* caption;
        const char* hint;
        bool enabled;
    } buttons[] = {{form.LoadButton, "&Load", "Load filter file", true},
                   {form.SaveButton, "&Save", "Save filter file", false},
                   {form.ClearButton, "Cl&ear", "", false},
                   {form.HelpButton, "?", "Help", true},
                   {form.OKButton, "&OK", "OK", false},
                   {form.CancelButton, "&Cancel", "Cancel", true}};
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->text(), b.caption);
        EXPECT_EQ(b.button->toolTip(), b.hint) << b.caption;
        EXPECT_EQ(b.button->isEnabled(), b.enabled) << b.caption;
    }
    EXPECT_EQ(form.Label4->text(),
              "Warning! Custom filters are slow due to function parsing. A normal size image "
              "may take minutes to redraw!");
    EXPECT_TRUE(form.Label4->wordWrap());
    EXPECT_EQ(form.Label4->palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST_F(CustomFormTest, ButtonsFollowTheThreeEdits) {
    const struct {
        const char *r, *g, *b;
        bool enabled;
    } steps[] = {
        {"R1", "G1", "B1", false},  // the identity filter
        {"R1+0", "G1", "B1", true},
        {"R1", "G1", "B1 ", true},  // only exactly the identity counts
        {"R1", "", "B1", false},
        {"255-R1", "255-G1", "", false},
        {"255-R1", "255-G1", "255-B1", true},
        {"r1", "g1", "b1", true},
        {"", "", "", false},
    };
    for (const auto& s : steps) {
        Type(s.r, s.g, s.b);
        EXPECT_EQ(ButtonsEnabled(), s.enabled) << s.r << "|" << s.g << "|" << s.b;
    }
}

TEST_F(CustomFormTest, HelpShowsTheLanguage) {
    QTest::mouseClick(form.HelpButton, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
              "Information: Write your own filters!\r\n\r\n"
              "R1, G1, and B1 are integer values between 0 and 255 corresponding to the Red, \r\n"
              "Green and Blue channels. You can use the following operators and functions: \r\n\r\n"
              "+, -, *, /, ^, (, ), ABS, ATAN, COS, EXP, LN, ROUND, SIN, SQR, SQRT, TRUNC");
}

TEST_F(CustomFormTest, OpenDisablesTheMainWindowAndCancelEnablesIt) {
    form.Open();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(mainEnabled, false);
    Type("R1*2", "G1", "B1");
    QTest::mouseClick(form.CancelButton, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(mainEnabled, true);
    EXPECT_TRUE(applied.empty());
    EXPECT_EQ(form.REdit->text(), "R1*2");  // kept for the next opening
}

TEST_F(CustomFormTest, OnlyOkAndCancelClose) {
    form.Open();
    QTest::keyClick(&form, Qt::Key_Escape);
    form.close();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(mainEnabled, false);
}

TEST_F(CustomFormTest, OkAppliesTheFormulasWithoutSpaces) {
    form.Open();
    Type(" R1 * 2 ", "G1", "255 - B1");
    QTest::mouseClick(form.OKButton, Qt::LeftButton);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0], (TFilterFormulas{"R1*2", "G1", "255-B1"}));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(mainEnabled, true);
    EXPECT_EQ(form.REdit->text(), " R1 * 2 ");
}

TEST_F(CustomFormTest, OkWithASyntaxErrorSaysWhereAndStaysOpen) {
    form.Open();
    Type("R1", "(G1 + 2", "B1");
    QTest::mouseClick(form.OKButton, Qt::LeftButton);
    EXPECT_EQ(boxes,
              std::vector<std::string>{"Information: Green formula: an operator or ) is expected at position 6."});
    EXPECT_TRUE(applied.empty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(mainEnabled, false);
}

TEST_F(CustomFormTest, AFailedRunKeepsTheWindowOpen) {
    // The main window showed the overflow; it stays disabled until Cancel.
    form.Open();
    applySucceeds = false;
    Type("1E4000*1E4000", "G1", "B1");
    QTest::mouseClick(form.OKButton, Qt::LeftButton);
    EXPECT_EQ(applied.size(), 1u);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(mainEnabled, false);
}

TEST_F(CustomFormTest, LoadFillsTheEditsByTheFileRules) {
    const std::string twoLines = Write("two.fil", "255-R1\r\n255-G1\r\n");
    dialogAnswers = {twoLines};
    QTest::mouseClick(form.LoadButton, Qt::LeftButton);
    EXPECT_EQ(form.REdit->text(), "255-R1");
    EXPECT_EQ(form.GEdit->text(), "255-G1");
    EXPECT_EQ(form.BEdit->text(), "");
    EXPECT_FALSE(ButtonsEnabled());
    EXPECT_EQ(form.windowTitle().toStdString(), "Custom filter - " + twoLines);

    const std::string lineFeeds = Write("lf.fil", "R1\nG1\nB1\n");
    dialogAnswers = {lineFeeds};
    QTest::mouseClick(form.LoadButton, Qt::LeftButton);
    EXPECT_EQ(form.REdit->text(), "R1\nG1\nB1\n");
    EXPECT_EQ(form.GEdit->text(), "");
    EXPECT_EQ(form.windowTitle().toStdString(), "Custom filter - " + lineFeeds);
}

TEST_F(CustomFormTest, LoadCancelledOrFailedChangesNothing) {
    Type("R1*2", "G1", "B1");
    dialogAnswers = {std::nullopt, (folder / "missing.fil").string()};
    QTest::mouseClick(form.LoadButton, Qt::LeftButton);
    EXPECT_TRUE(boxes.empty());
    QTest::mouseClick(form.LoadButton, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Error: ", 0), 0u);
    EXPECT_EQ(form.REdit->text(), "R1*2");
    EXPECT_EQ(form.windowTitle(), "Custom filter");
}

TEST_F(CustomFormTest, SaveWritesTheTextsAsTyped) {
    Type(" R1 * 2 ", "G1", "B1");
    const std::string path = (folder / "double.fil").string();
    dialogAnswers = {path};
    QTest::mouseClick(form.SaveButton, Qt::LeftButton);
    EXPECT_TRUE(boxes.empty());  // a new file needs no question
    EXPECT_EQ(ReadAll(path), " R1 * 2 \r\nG1\r\nB1\r\n");
    EXPECT_EQ(form.windowTitle().toStdString(), "Custom filter - " + path);
}

TEST_F(CustomFormTest, SaveAsksBeforeOverwriting) {
    const std::string path = Write("old.fil", "old\r\n");
    Type("255-R1", "G1", "B1");
    dialogAnswers = {path, path};
    confirmAnswers = {false, true};
    QTest::mouseClick(form.SaveButton, Qt::LeftButton);
    EXPECT_EQ(boxes, std::vector<std::string>{"Confirm: File exists. Overwrite?"});
    EXPECT_EQ(ReadAll(path), "old\r\n");
    EXPECT_EQ(form.windowTitle(), "Custom filter");

    QTest::mouseClick(form.SaveButton, Qt::LeftButton);
    EXPECT_EQ(ReadAll(path), "255-R1\r\nG1\r\nB1\r\n");
    EXPECT_EQ(form.windowTitle().toStdString(), "Custom filter - " + path);
}

TEST_F(CustomFormTest, SaveThatFailsShowsTheErrorAndKeepsTheCaption) {
    Type("255-R1", "G1", "B1");
    dialogAnswers = {(folder / "no-such-folder" / "x.fil").string()};
    QTest::mouseClick(form.SaveButton, Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Error: ", 0), 0u);
    EXPECT_EQ(form.windowTitle(), "Custom filter");
}

TEST_F(CustomFormTest, ClearEmptiesEverything) {
    dialogAnswers = {Write("invert.fil", "255-R1\r\n255-G1\r\n255-B1\r\n")};
    QTest::mouseClick(form.LoadButton, Qt::LeftButton);
    EXPECT_TRUE(ButtonsEnabled());
    QTest::mouseClick(form.ClearButton, Qt::LeftButton);
    for (QLineEdit* edit : {form.REdit, form.GEdit, form.BEdit}) EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(form.windowTitle(), "Custom filter");
    EXPECT_FALSE(ButtonsEnabled());
}
