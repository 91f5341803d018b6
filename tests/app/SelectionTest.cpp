// Making the selection with the mouse, and the zoom window.
#include <QAction>
#include <QWindow>

#include "AppFixture.h"
#include "app/View.h"

namespace {
const std::vector<TShownBox> NothingSelected = {{"Information", "Nothing selected.\r\nSelecting all."}};
}

TEST_F(AppTest, DragSelectsAndBadDragsSelectAll) {
    Start();
    Main().WorkingImage = TestPicture(150, 100);
    Main().SelectAll();
    Main().ReDraw();
    struct Case {
        QPoint press, release;
        TRect expected;
        bool message;
    } cases[] = {
        {{10, 20}, {49, 79}, {10, 20, 49, 79}, false},
        {{50, 50}, {10, 10}, {0, 0, 149, 99}, true},  // dragged up and left
        {{30, 30}, {30, 30}, {0, 0, 149, 99}, true},  // a click
        {{5, 5}, {6, 6}, {5, 5, 6, 6}, false},        // 2 x 2 is enough
        {{5, 5}, {6, 40}, {5, 5, 6, 40}, false},
        {{5, 5}, {5, 40}, {0, 0, 149, 99}, true},           // one column wide
        {{100, 10}, {240, 90}, {100, 10, 240, 90}, false},  // into the grey strip: not clamped
        {{20, 20}, {-30, 60}, {0, 0, 149, 99}, true},       // released left of the window
    };
    for (const Case& c : cases) {
        Main().FormMouseDown(Qt::LeftButton, c.press.x(), c.press.y());
        EXPECT_EQ(Main().windowTitle(), "Release mouse button to end selection!");
        Main().FormMouseUp(Qt::LeftButton, c.release.x(), c.release.y());
        EXPECT_EQ(Main().Selection, c.expected) << c.press.x() << "," << c.press.y();
        EXPECT_EQ(ui.Take(), c.message ? NothingSelected : std::vector<TShownBox>{});
        EXPECT_EQ(Main().windowTitle(), "Corvalux");
    }
}

TEST_F(AppTest, PressDrawsCornerMarkUntilTheRedraw) {
    Start();
    Main().WorkingImage = Bitmap(100, 80);  // black
    Main().Selection = {0, 0, 99, 79};
    Main().ReDraw();
    Main().FormMouseDown(Qt::LeftButton, 40, 30);
    const QImage& view = Main().Canvas();
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_EQ(view.pixel(40, 30), white);
    EXPECT_EQ(view.pixel(49, 30), white);
    EXPECT_EQ(view.pixel(40, 39), white);
    EXPECT_NE(view.pixel(50, 30), white);
    EXPECT_NE(view.pixel(41, 31), white);
    Main().ReDraw();
    EXPECT_NE(Main().Canvas().pixel(45, 30), white);
}

TEST(SelectionText, CountsPixelsBordersIncluded) {
    struct Case {
        TRect selection;
        const char *width, *height;
    } cases[] = {
        {{10, 20, 49, 79}, "Selection width: 40", "             height: 60"},
        {{0, 0, 0, 0}, "Selection width: 1", "             height: 1"},
        {{5, 7, 6, 107}, "Selection width: 2", "             height: 101"},
    };
    for (const Case& c : cases) {
        const auto [width, height] = SelectionSizeText(c.selection);
        EXPECT_EQ(width, QString::fromLatin1(c.width));
        EXPECT_EQ(height, QString::fromLatin1(c.height));
    }
}

TEST_F(AppTest, RightAndMiddleButtonsToggleZoomAndKeepSelection) {
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        SCOPED_TRACE(button);
        forms.reset();
        Start();
        Main().WorkingImage = TestPicture(150, 100);
        Main().Selection = {10, 10, 40, 40};
        Main().ReDraw();
        Main().MenuState.PictureMenus = true;
        Main().UpdateActions();
        for (bool visible : {true, false}) {
            Main().FormMouseDown(button, 70, 70);
            EXPECT_EQ(Main().windowTitle(), "Release mouse button to end selection!");
            EXPECT_EQ(forms->ZoomForm->isVisible(), visible);
            EXPECT_EQ(Main().Action("ZoomMenu")->isChecked(), visible);
            Main().FormMouseUp(button, 90, 90);
            EXPECT_EQ(Main().Selection, (TRect{10, 10, 40, 40}));
            EXPECT_EQ(Main().windowTitle(), "Corvalux");
        }
        Main().ZoomMenuClick();
        EXPECT_TRUE(forms->ZoomForm->isVisible());
        EXPECT_TRUE(Main().Action("ZoomMenu")->isChecked());
        EXPECT_TRUE(ui.Take().empty());
        // Closed by a close box a desktop gave it, the window's tick goes too.
        forms->ZoomForm->windowHandle()->close();
        EXPECT_FALSE(forms->ZoomForm->isVisible());
        EXPECT_FALSE(Main().Action("ZoomMenu")->isChecked());
    }
}

TEST_F(AppTest, ZoomCopiesTheViewAroundThePointerDoubled) {
    Start();
    Main().WorkingImage = TestPicture(300, 200);
    Main().Selection = {0, 0, 299, 199};
    Main().ReDraw();
    Main().FormMouseMove(100, 100);
    // The zoom picture is the view from (61, 71) to (140, 130).
    const QImage& view = Main().Canvas();
    for (const QPoint p : {QPoint(0, 0), QPoint(79, 0), QPoint(0, 59), QPoint(79, 59), QPoint(33, 17)}) {
        const PackedColor c = Main().ZoomImage.GetColor(p.x(), p.y());
        EXPECT_EQ(qRgb(RedOf(c), GreenOf(c), BlueOf(c)), view.pixel(61 + p.x(), 71 + p.y()));
    }
    // Each zoom pixel becomes a 2 x 2 block; the window shows 157 x 117 of the 160 x 120.
    const QImage& shown = forms->ZoomForm->Shown;
    EXPECT_EQ(shown.size(), QSize(157, 117));
    EXPECT_EQ(shown.pixel(66, 34), view.pixel(61 + 33, 71 + 17));
    EXPECT_EQ(shown.pixel(67, 35), view.pixel(61 + 33, 71 + 17));
    EXPECT_EQ(shown.pixel(156, 116), view.pixel(61 + 78, 71 + 58));

    // Near the corner the part outside the client area is mid grey.
    Main().FormMouseMove(5, 5);
    EXPECT_EQ(Main().ZoomImage.GetColor(0, 0), PackColor(128, 128, 128));
    EXPECT_EQ(Main().ZoomImage.GetColor(33, 23), PackColor(128, 128, 128));
    const QRgb inside = view.pixel(0, 0);
    const PackedColor c = Main().ZoomImage.GetColor(34, 24);
    EXPECT_EQ(qRgb(RedOf(c), GreenOf(c), BlueOf(c)), inside);
}
