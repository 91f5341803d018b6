// Pictures larger than the screen: the window stops at the screen and scrolls, a drag past
// the visible edge scrolls on and selects beyond it, and the zoom follows the pointer in
// picture coordinates. Pictures that fit keep the window at the composed size.
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>
#include <QtTest/QTest>
#include <functional>
#include <optional>

#include "AppFixture.h"
#include "qtshared/QtPicture.h"

namespace {
class LargePictureTest : public AppTest {
protected:
    QScrollArea& Scroller() { return *Main().findChild<QScrollArea*>(); }
    QSize Room() { return QGuiApplication::primaryScreen()->availableGeometry().size(); }
    void Show(const Bitmap& picture) {
        Main().WorkingImage = picture;
        Main().SelectAll();
        Main().ReDraw();
        Main().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    }
};
}  // namespace

TEST_F(LargePictureTest, APictureThatFitsGetsItsExactSize) {
    Start();
    Show(TestPicture(300, 200));
    EXPECT_EQ(Scroller().size(), QSize(300, 200));
    EXPECT_FALSE(Scroller().horizontalScrollBar()->isVisible());
    EXPECT_FALSE(Scroller().verticalScrollBar()->isVisible());
}

TEST_F(LargePictureTest, TheWindowStopsAtTheScreenAndScrolls) {
    Start();
    const Bitmap picture = TestPicture(Room().width() + 500, Room().height() + 400);
    Show(picture);
    EXPECT_EQ(Main().ClientSize(), QSize(picture.Width(), picture.Height()));
    EXPECT_LE(Main().frameGeometry().width(), Room().width());
    EXPECT_LE(Main().frameGeometry().height(), Room().height());
    QScrollBar& across = *Scroller().horizontalScrollBar();
    QScrollBar& down = *Scroller().verticalScrollBar();
    EXPECT_GT(across.maximum(), 0);
    EXPECT_GT(down.maximum(), 0);
    across.setValue(across.maximum());
    down.setValue(down.maximum());
    // The view scrolled to the end shows the picture's last pixels.
    const QRect visible = Scroller().widget()->visibleRegion().boundingRect();
    EXPECT_EQ(visible.right(), picture.Width() - 1);
    EXPECT_EQ(visible.bottom(), picture.Height() - 1);
}

TEST_F(LargePictureTest, ADragPastTheEdgeScrollsAndSelectsBeyond) {
    Start();
    const Bitmap picture = TestPicture(Room().width() + 800, Room().height() + 800);
    Show(picture);
    QWidget& area = *Scroller().widget();
    QWidget& viewport = *Scroller().viewport();
    QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(20, 20));
    // Held past the bottom right corner of the visible part: the view keeps scrolling.
    const QPoint outside(viewport.width() + 40, viewport.height() + 40);
    QTest::mouseMove(&area, area.mapFrom(&viewport, outside));
    QTest::qWait(300);
    EXPECT_GT(Scroller().horizontalScrollBar()->value(), 0);
    EXPECT_GT(Scroller().verticalScrollBar()->value(), 0);
    const QPoint release = area.mapFrom(&viewport, outside);
    QTest::mouseRelease(&area, Qt::LeftButton, {}, release);
    EXPECT_EQ(Main().Selection, (TRect{20, 20, release.x(), release.y()}));
    EXPECT_GT(release.x(), viewport.width() + 40);
    EXPECT_TRUE(ui.Take().empty());
    // The released frame's far corner is in sight, not under the scroll bars, and so is the
    // size text.
    const QRect visible = area.visibleRegion().boundingRect();
    EXPECT_TRUE(visible.contains(release + QPoint(1, 1)));
    const QRect text(visible.topLeft() + QPoint(10, 10), QSize(100, 25));
    EXPECT_NE(Main().Canvas().copy(text).convertToFormat(QImage::Format_RGB32),
              ImageView(picture).copy(text).convertToFormat(QImage::Format_RGB32));

    // The zoom shows the picture under the pointer wherever the view is.
    Main().FormMouseMove(release.x() - 100, release.y() - 100);
    const PackedColor centre = Main().ZoomImage.GetColor(39, 29);
    EXPECT_EQ(centre, picture.GetColor(release.x() - 100, release.y() - 100));
}

// Cancel pressed while a picture command runs leaves the picture, the selection and Undo as
// they were, whether or not the command itself looks at its progress callback, and whichever
// way the user cancels.
TEST_F(LargePictureTest, CancelLeavesEveryPictureCommandUndone) {
    const std::vector<std::pair<const char*, std::function<void(TMainForm&)>>> commands = {
        {"invert", [](TMainForm& main) { main.FilterMenuClick("invert-all"); }},
        {"crop", [](TMainForm& main) { main.CropMenuClick(); }},
        {"turn left", [](TMainForm& main) { main.LeftMenuClick(); }},
        {"resize", [](TMainForm& main) { main.ResizeOkClick(50, 40, true, std::nullopt); }},
    };
    for (const auto& [name, run] : commands)
        for (const CancelBy how : {CancelBy::Click, CancelBy::Escape, CancelBy::CloseBox}) {
            SCOPED_TRACE(std::string(name) + ", cancelled the way numbered " + std::to_string(int(how)));
            Start();
            Show(TestPicture(120, 90));
            Main().FilterMenuClick("invert-all");  // so that Undo holds something to keep
            Main().Selection = {10, 12, 60, 50};
            const Bitmap picture = Main().WorkingImage, undo = Main().UndoImage;
            cancelledDialogs = 0;
            PressCancelInEveryProgressDialog(how);
            run(Main());
            EXPECT_EQ(cancelledDialogs, 1);
            EXPECT_TRUE(ui.Take().empty());
            EXPECT_EQ(Main().WorkingImage, picture);
            EXPECT_EQ(Main().UndoImage, undo);
            EXPECT_EQ(Main().Selection, (TRect{10, 12, 60, 50}));
        }
}

// The main window's close box during a long command stops the command, leaving everything as
// it was, and then asks as Exit does; No keeps the program running.
TEST_F(LargePictureTest, ClosingTheMainWindowDuringACommandStopsItAndAsks) {
    Start();
    Show(TestPicture(120, 90));
    const Bitmap picture = Main().WorkingImage;
    bool closed = false;
    Main().OnClosed = [&] { closed = true; };
    Main().LongCommands.DialogDelay = 0;
    Main().LongCommands.OnDialogShown = [this](QWidget&) { Main().windowHandle()->close(); };
    ui.ConfirmAnswers = {false};
    Main().FilterMenuClick("invert-all");
    QCoreApplication::processEvents();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Confirm", "Exit now?"}}));
    EXPECT_EQ(Main().WorkingImage, picture);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(Main().isVisible());
}

// A picture opened again shows from its top-left corner.
TEST_F(LargePictureTest, OpeningShowsThePictureFromItsCorner) {
    const std::string path = WriteBmp("large.bmp", TestPicture(Room().width() + 300, Room().height() + 300));
    Start(path);
    Main().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    Scroller().horizontalScrollBar()->setValue(200);
    Scroller().verticalScrollBar()->setValue(200);
    ui.OpenAnswers = {path};
    Main().OpenMenuClick();
    EXPECT_EQ(Scroller().horizontalScrollBar()->value(), 0);
    EXPECT_EQ(Scroller().verticalScrollBar()->value(), 0);
}
