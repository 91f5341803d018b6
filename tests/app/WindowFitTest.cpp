// The secondary windows fit their contents with the default font, open where they can be seen,
// and the retouch window stays on the screen with a picture larger than the screen.
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <functional>

#include "AppFixture.h"
#include "app/ScaleFactors.h"

namespace {
QRect Room(const QWidget& window) { return window.screen()->availableGeometry(); }

// The width a push button's caption needs: the text and the style's margins, without the
// extra width some styles give every button.
int CaptionWidth(const QPushButton& button) {
    const int textWidth = button.fontMetrics().size(Qt::TextShowMnemonic, button.text()).width();
    const QStyle* style = button.style();
    return textWidth + style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
}

// Why a shown widget's text or contents are cut, or nothing.
std::string Cut(const QWidget& widget) {
    const QSize size = widget.size();
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        if (label->wordWrap()) {
            if (label->heightForWidth(size.width()) > size.height()) return "wrapped text cut at the bottom";
        } else if (label->sizeHint().width() > size.width()) {
            return "text cut at the right";
        }
    } else if (const auto* button = qobject_cast<const QPushButton*>(&widget)) {
        if (CaptionWidth(*button) > size.width()) return "caption cut";
        if (button->fontMetrics().height() + 4 > size.height()) return "squashed";
    } else if (qobject_cast<const QCheckBox*>(&widget) || qobject_cast<const QRadioButton*>(&widget)) {
        if (widget.sizeHint().width() > size.width()) return "caption cut";
    } else if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        if (group->minimumSizeHint().width() > size.width() || group->minimumSizeHint().height() > size.height())
            return "smaller than its contents";
    } else if (const auto* tabs = qobject_cast<const QTabWidget*>(&widget)) {
        if (tabs->tabBar()->sizeHint().width() > size.width()) return "tabs scrolled";
    }
    if (widget.minimumSize().width() > size.width() || widget.minimumSize().height() > size.height())
        return "smaller than its minimum size";
    return {};
}

// Every shown widget lies inside its parent (so inside the window) and shows its text whole.
// What a scroll area holds may be larger than its view: that is what it is for.
void ExpectFits(const QWidget& window, const std::string& name) {
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->isWindow()) continue;
        const QWidget* parent = widget->parentWidget();
        const std::string what = name + ": " + widget->metaObject()->className() + " \"" +
                                 widget->property("text").toString().toStdString() + "\"";
        auto isView = [](const QWidget* w) {
            const auto* area = w ? qobject_cast<const QScrollArea*>(w->parentWidget()) : nullptr;
            return area && area->viewport() == w;
        };
        const bool scrolled = isView(parent);
        bool inView = false;
        for (const QWidget* w = parent; w && w != &window; w = w->parentWidget()) inView = inView || isView(w);
        if (!scrolled)
            EXPECT_TRUE(parent->rect().contains(widget->geometry()))
                << what << " at " << widget->geometry().x() << "," << widget->geometry().y() << " " << widget->width()
                << "x" << widget->height() << " outside its parent's " << parent->width() << "x" << parent->height();
        const QRect inWindow(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        if (!inView)
            EXPECT_TRUE(window.rect().contains(inWindow))
                << what << " at " << inWindow.x() << "," << inWindow.y() << " " << inWindow.width() << "x"
                << inWindow.height() << " outside the window";
        const std::string cut = Cut(*widget);
        EXPECT_TRUE(cut.empty()) << what << ": " << cut;
    }
}

bool Near(QPoint a, QPoint b) { return (a - b).manhattanLength() <= 2; }
}  // namespace

class WindowFitTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        Start(WriteBmp("start.bmp", TestPicture(120, 90)));
        Main().show();
    }
};

TEST_F(WindowFitTest, EverySecondaryWindowShowsAllItsControlsWhole) {
    struct Case {
        const char* name;
        std::function<void()> open;
        std::function<QWidget*()> window;
    } cases[] = {
        {"Print", [&] { Main().PrintMenuClick(); }, [&] { return forms->PrintForm.get(); }},
        {"Palette", [&] { Main().FeatherMenuClick(); }, [&] { return forms->PaletteForm.get(); }},
        {"Resize", [&] { Main().ResizeMenuClick(); }, [&] { return forms->ResizeForm.get(); }},
        {"About", [&] { Main().AboutMenuClick(); }, [&] { return forms->AboutBox.get(); }},
        {"Custom filter", [&] { Main().CustomfilterMenuClick(); }, [&] { return forms->CustomFilterForm.get(); }},
        {"Webcam", [&] { Main().WebcameraMenuClick(); }, [&] { return forms->VideoForm.get(); }},
        {"Retouch", [&] { Main().RetouchMenuClick(); }, [&] { return forms->RetouchForm.get(); }},
    };
    for (const Case& c : cases) {
        c.open();
        QWidget* window = c.window();
        ASSERT_TRUE(window->isVisible()) << c.name;
        ExpectFits(*window, c.name);
        window->hide();
    }
    // The retouch window's other page, and the resize window with its height bar hidden.
    TRetouchForm& retouch = *forms->RetouchForm;
    Main().RetouchMenuClick();
    retouch.PageControl->setCurrentIndex(1);
    ExpectFits(retouch, "Retouch, colour grid page");
    retouch.CancelButton->click();
    Main().ResizeMenuClick();
    forms->ResizeForm->RatioCheckBox->click();
    ExpectFits(*forms->ResizeForm, "Resize, ratio kept");
}

TEST_F(WindowFitTest, PaletteGridShowsAllSixteenColours) {
    Main().FeatherMenuClick();
    TPaletteForm& palette = *forms->PaletteForm;
    TColorGrid& grid = *palette.Colors.ColorGrid;
    // A click in the middle of each of the 4 x 4 cells chooses that cell's colour.
    for (int i = 0; i < 16; ++i) {
        const QPoint centre((2 * (i % 4) + 1) * grid.width() / 8, (2 * (i / 4) + 1) * grid.height() / 8);
        ASSERT_TRUE(grid.visibleRegion().contains(centre)) << i;
        QTest::mouseClick(&grid, Qt::LeftButton, {}, centre);
        EXPECT_EQ(palette.Colors.CurrentColor(), TColorGrid::CellColor(i)) << i;
    }
}

TEST_F(WindowFitTest, SpecCentredWindowsOpenCentredOnTheScreenTheAboutBoxOverTheMainWindow) {
    const QRect room = Room(Main());
    Main().move(room.topLeft() + QPoint(5, 7));
    struct Case {
        const char* name;
        std::function<void()> open;
        std::function<QWidget*()> window;
    } cases[] = {
        {"Print", [&] { Main().PrintMenuClick(); }, [&] { return forms->PrintForm.get(); }},
        {"Palette", [&] { Main().FeatherMenuClick(); }, [&] { return forms->PaletteForm.get(); }},
        {"Resize", [&] { Main().ResizeMenuClick(); }, [&] { return forms->ResizeForm.get(); }},
        {"Custom filter", [&] { Main().CustomfilterMenuClick(); }, [&] { return forms->CustomFilterForm.get(); }},
        {"Webcam", [&] { Main().WebcameraMenuClick(); }, [&] { return forms->VideoForm.get(); }},
    };
    for (const Case& c : cases) {
        c.open();
        const QWidget* window = c.window();
        EXPECT_TRUE(Near(window->frameGeometry().center(), Room(*window).center()))
            << c.name << " centred at " << window->frameGeometry().center().x() << ","
            << window->frameGeometry().center().y();
    }
    // The about box opens over the main window, wherever that is.
    Main().move(room.topLeft() + QPoint(room.width() / 3, room.height() / 4));
    Main().AboutMenuClick();
    const QWidget& about = *forms->AboutBox;
    EXPECT_TRUE(Near(about.frameGeometry().center(), Main().frameGeometry().center()));
    EXPECT_TRUE(room.contains(about.frameGeometry()));
}

TEST_F(WindowFitTest, RetouchWindowOnALargePictureScrollsAndKeepsItsControlsOnTheScreen) {
    const QRect room = Room(Main());
    const QSize pictureSize = room.size() + QSize(500, 400);
    Start(WriteBmp("large.bmp", TestPicture(pictureSize.width(), pictureSize.height())));
    Main().show();
    Main().move(room.topLeft() + QPoint(40, 30));
    Main().RetouchMenuClick();
    TRetouchForm& retouch = *forms->RetouchForm;
    ASSERT_TRUE(retouch.isVisible());
    EXPECT_TRUE(room.contains(retouch.frameGeometry()))
        << retouch.frameGeometry().x() << "," << retouch.frameGeometry().y() << " " << retouch.frameGeometry().width()
        << "x" << retouch.frameGeometry().height() << " in " << room.width() << "x" << room.height();
    for (QWidget* control :
         std::initializer_list<QWidget*>{retouch.OKButton, retouch.CancelButton, retouch.ReloadButton,
                                         retouch.PageControl, retouch.SizeScrollBar, retouch.OpacityScrollBar}) {
        const QRect onScreen(control->mapToGlobal(QPoint(0, 0)), control->size());
        EXPECT_TRUE(control->isVisible() && room.contains(onScreen)) << control->metaObject()->className();
    }
    ExpectFits(retouch, "Retouch, large picture");

    // Scrolled to the far corner, a click lands on the picture pixel under the pointer.
    auto* area = retouch.findChild<QScrollArea*>();
    ASSERT_NE(area, nullptr);
    area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    const QPoint centre = area->viewport()->rect().center();
    const QPoint pixel = retouch.Image->mapFrom(area->viewport(), centre);
    EXPECT_GT(pixel.x(), room.width() - 160);
    EXPECT_GT(pixel.y(), room.height() - 40);
    // What the view shows ends with the picture's last column and row and its 8-pixel margin.
    EXPECT_EQ(retouch.Image->mapFrom(area->viewport(), area->viewport()->rect().bottomRight()),
              QPoint(pictureSize.width() - 1 + 8, pictureSize.height() - 1 + 8));
    const PackedColor before = retouch.Picture().GetColor(pixel.x(), pixel.y());
    retouch.DarkenRadioButton->setChecked(true);
    QWidget* under = area->viewport()->childAt(centre);
    ASSERT_EQ(under, retouch.Image);
    QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(area->viewport(), centre));
    EXPECT_NE(retouch.Picture().GetColor(pixel.x(), pixel.y()), before);

    // Back in the main window, which stays on the screen too.
    retouch.CancelButton->click();
    EXPECT_TRUE(room.contains(Main().frameGeometry().topLeft()));
}

TEST_F(WindowFitTest, RetouchWindowOpenedNearTheScreenEdgeMovesBackOnIt) {
    const QRect room = Room(Main());
    // The main window near the bottom-right corner: a retouch window at its place would
    // hang off the screen.
    Main().move(room.bottomRight() - QPoint(100, 80));
    Main().RetouchMenuClick();
    const TRetouchForm& retouch = *forms->RetouchForm;
    EXPECT_EQ(retouch.size(), QSize(280, 453));  // the usual size: the picture fits
    EXPECT_TRUE(room.contains(retouch.frameGeometry()));
    forms->RetouchForm->CancelButton->click();
}

// Fractional scale factors are rounded down to whole ones; anything else is Qt's to judge.
TEST(ScaleFactorsTest, FactorsBecomeWhole) {
    const std::pair<const char*, const char*> factors[] = {
        {"1.25", "1"}, {"1.5", "1"}, {"2", "2"}, {"2.75", "2"}, {"0.5", "1"}, {"abc", "abc"}, {"", ""}, {"1e9", "64"},
    };
    for (const auto& [given, whole] : factors) EXPECT_EQ(WholeScaleFactor(given), whole) << given;
    EXPECT_EQ(WholeScreenScaleFactors("1.5;2.5"), "1;2");
    EXPECT_EQ(WholeScreenScaleFactors("DP-1=1.25;HDMI-1=3"), "DP-1=1;HDMI-1=3");
}
