// The main window: client size, composed view, caption, menu enabling, errors and exit.
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QToolButton>

#include "AppFixture.h"
#include "common/Errors.h"

namespace {
QRgb Grey() { return qRgb(128, 128, 128); }
}  // namespace

TEST_F(AppTest, ClientAreaFollowsThePicture) {
    Start();
    EXPECT_EQ(Main().ClientSize(), QSize(260, 0));
    EXPECT_EQ(Main().windowTitle(), "Corvalux");

    struct Case {
        int width, height;
        QSize client;
    } cases[] = {{100, 70, {260, 70}}, {1000, 50, {1000, 50}}, {260, 1, {260, 1}}, {261, 3, {261, 3}}};
    for (const Case& c : cases) {
        Main().WorkingImage = TestPicture(c.width, c.height);
        Main().SelectAll();
        Main().ReDraw();
        EXPECT_EQ(Main().ClientSize(), c.client) << c.width << "x" << c.height;
        EXPECT_EQ(Main().Canvas().size(), c.client);
    }
}

TEST_F(AppTest, ViewShowsPictureUnscaledWithGreyStrip) {
    Start();
    Main().WorkingImage = TestPicture(101, 70);
    Main().Selection = {0, 0, 259, 69};  // frame away from the pixels we read
    Main().ReDraw();
    const QImage& view = Main().Canvas();
    for (const QPoint p : {QPoint(60, 50), QPoint(99, 60), QPoint(100, 45)}) {
        const PackedColor c = Main().WorkingImage.GetColor(p.x(), p.y());
        EXPECT_EQ(view.pixel(p), qRgb(RedOf(c), GreenOf(c), BlueOf(c))) << p.x() << "," << p.y();
    }
    EXPECT_EQ(view.pixel(101, 40), Grey());
    EXPECT_EQ(view.pixel(200, 60), Grey());
}

TEST_F(AppTest, ReDrawNormalisesAndFramesTheSelection) {
    Start();
    Main().WorkingImage = TestPicture(120, 90);
    Main().Selection = {60, 70, 40, 30};
    Main().ReDraw();
    EXPECT_EQ(Main().Selection, (TRect{40, 30, 60, 70}));
    const QImage& view = Main().Canvas();
    auto isFrame = [](QRgb c) { return c == qRgb(0, 0, 0) || c == qRgb(255, 255, 0); };
    // The frame covers the border pixels and one pixel either side of them (3-pixel pen).
    for (const QPoint p :
         {QPoint(40, 50), QPoint(60, 50), QPoint(50, 30), QPoint(50, 70), QPoint(39, 50), QPoint(61, 50)})
        EXPECT_TRUE(isFrame(view.pixel(p))) << p.x() << "," << p.y();
    // Inside and outside the frame the picture shows through.
    for (const QPoint p : {QPoint(50, 50), QPoint(42, 32), QPoint(63, 50), QPoint(50, 73)}) {
        const PackedColor c = Main().WorkingImage.GetColor(p.x(), p.y());
        EXPECT_EQ(view.pixel(p), qRgb(RedOf(c), GreenOf(c), BlueOf(c))) << p.x() << "," << p.y();
    }
    // Some yellow is on the frame: the dotted pen went over the black one.
    int yellow = 0;
    for (int x = 40; x <= 60; ++x) yellow += view.pixel(x, 30) == qRgb(255, 255, 0);
    EXPECT_GT(yellow, 4);
    EXPECT_LT(yellow, 17);
}

TEST_F(AppTest, SelectionTextIsWhiteNearTheTopLeft) {
    Start();
    Bitmap black(300, 60);
    Main().WorkingImage = black;
    Main().Selection = {100, 45, 110, 50};
    Main().ReDraw();
    int white = 0, whiteOutside = 0;
    const QImage& view = Main().Canvas();
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 300; ++x) {
            if (view.pixel(x, y) != qRgb(255, 255, 255)) continue;
            (x >= 10 && x < 220 && y >= 10 && y < 40 ? white : whiteOutside)++;
        }
    EXPECT_GT(white, 50);
    EXPECT_EQ(whiteOutside, 0);
}

TEST_F(AppTest, MenuStartsWithOnlyTheAlwaysItemsEnabled) {
    Start();
    for (const char* on :
         {"OpenMenu", "ExitMenu", "PasteMenu", "SourcesMenu", "WebcameraMenu", "ScanMenu", "HelpMenu", "AboutMenu"})
        EXPECT_TRUE(Enabled(on)) << on;
    for (const char* off : {"SaveasMenu", "SaveMenu", "QuickSaveMenu", "PrintMenu", "UndoMenu", "CopyMenu",
                            "SelectallMenu", "FiltersMenu", "DeformMenu"})
        EXPECT_FALSE(Enabled(off)) << off;
}

TEST_F(AppTest, MenuCarriesCaptionsShortcutsAndGlyphs) {
    Start();
    struct Case {
        const char* name;
        const char* caption;
        const char* shortcut;
        bool glyph;
    } cases[] = {
        {"OpenMenu", "&Open", "Ctrl+O", true},
        {"SaveasMenu", "Save &as", "", true},
        {"SaveMenu", "&Save", "Ctrl+S", false},
        {"QuickSaveMenu", "Q&uickSave", "Ctrl+Q", false},
        {"UndoMenu", "&Undo", "Ctrl+Z", true},
        {"SelectallMenu", "&Select all", "Ctrl+A", false},
        {"Early20thCenturyMenu", "&Early 20:th century", "", false},
        {"ScanMenu", "&Scanner / digital camera", "", true},
        {"RetouchMenu", "&Retouch", "", true},
    };
    for (const Case& c : cases) {
        QAction* action = Main().Action(c.name);
        ASSERT_NE(action, nullptr) << c.name;
        EXPECT_EQ(action->text(), c.caption);
        EXPECT_EQ(action->shortcut().toString(), c.shortcut) << c.name;
        EXPECT_EQ(!action->icon().isNull(), c.glyph) << c.name;
    }
}

TEST_F(AppTest, ErrorBoxAppendsFullStopAfterCharactersAboveIt) {
    struct Case {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Bitmap image is not valid", "Bitmap image is not valid."},
        {"JPEG error #42", "JPEG error #42."},  // '2' is above '.'
        {"Done.", "Done."},
        {"Why?", "Why?."},  // '?' (63) is above '.' (46)
        {"a-", "a-"},       // '-' (45) is below
        {"a,", "a,"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;

    Start();
    Main().RunCommand([] { throw EInvalidGraphic(); });
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Error", "Bitmap image is not valid."}}));
}

TEST_F(AppTest, ExitAsksAndTitleBarClosesAtOnce) {
    Start();
    int closed = 0;
    Main().OnClosed = [&] { ++closed; };
    ui.ConfirmAnswers = {false};
    Main().ExitMenuClick();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Confirm", "Exit now?"}}));
    EXPECT_EQ(closed, 0);
    ui.ConfirmAnswers = {true};
    Main().ExitMenuClick();
    EXPECT_EQ(closed, 1);
    ui.Take();
    Main().close();  // the title-bar close: no question
    EXPECT_EQ(closed, 2);
    EXPECT_TRUE(ui.Take().empty());
}

TEST_F(AppTest, SecondaryWindowsExistWithTheirCaptions) {
    Start();
    EXPECT_EQ(forms->ZoomForm->windowTitle(), "Zoom");
    EXPECT_FALSE(forms->ZoomForm->isVisible());
    EXPECT_EQ(forms->AboutBox->windowTitle(), "About");
    EXPECT_EQ(forms->PrintForm->windowTitle(), "Print");
    EXPECT_EQ(forms->CustomFilterForm->windowTitle(), "Custom filter");
}

TEST_F(AppTest, AllMenusFitTheNarrowestWindow) {
    Start();
    Main().show();
    QApplication::processEvents();
    auto* overflow = Main().menuBar()->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
    ASSERT_NE(overflow, nullptr);
    EXPECT_FALSE(overflow->isVisible()) << "a menu hides behind the overflow button at 260 pixels";
    EXPECT_EQ(Main().ClientSize().width(), 260);
}
