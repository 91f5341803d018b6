// The composed view: painted in parts, as the window repaints what changed or what scrolls
// into sight, it must equal the whole, and the frame must be Qt's own outline.
#include <gtest/gtest.h>

#include <QPainter>
#include <random>

#include "AppFixture.h"
#include "app/View.h"

namespace {
// The view with Qt's own stroke over the frame, on a surface that holds all of it: the rule
// that the window's frame painting must reproduce, part by part. The black pen covers every
// pixel the window's frame may have touched.
QImage QtView(const Bitmap& picture, const TRect& selection) {
    QImage image = ComposeView({picture, selection, {}});
    QPainter painter(&image);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    const QRect frame(selection.Left, selection.Top, int(selection.Width() - 1), int(selection.Height() - 1));
    painter.drawRect(frame);
    painter.setPen(QPen(QColor(255, 255, 0), 1, Qt::DotLine));
    painter.drawRect(frame);
    return image;
}

QImage Part(const TViewContent& view, const QRect& area) {
    QImage image = ComposeView({view.Picture, {-50, -50, -40, -40}, {}});
    image.fill(Qt::magenta);  // anything left unpainted shows
    QPainter painter(&image);
    PaintView(painter, view, area);
    return image.copy(area);
}
}  // namespace

TEST(View, FrameIsQtsOutlineWhateverItsSize) {
    const Bitmap picture = TestPicture(300, 120);
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
        TRect selection;
        selection.Left = int(random() % 280) + 3;
        selection.Top = int(random() % 60) + 50;  // below the text
        selection.Right = std::min(296, selection.Left + int(random() % (i < 60 ? 3 : 200)));
        selection.Bottom = std::min(116, selection.Top + int(random() % (i < 60 ? 3 : 60)));
        ASSERT_EQ(ComposeView({picture, selection, {}}), QtView(picture, selection))
            << selection.Left << "," << selection.Top << " " << selection.Right << "," << selection.Bottom;
    }
}

TEST(View, AnyPartEqualsTheSameAreaOfTheWhole) {
    const Bitmap picture = TestPicture(300, 200);
    std::mt19937 random(11);
    for (const TRect selection : {TRect{10, 20, 290, 180}, TRect{-40, 5, 120, 60}, TRect{150, 0, 150, 199},
                                  TRect{0, 0, 299, 199}, TRect{3, 30, 4, 31}}) {
        const TViewContent view{picture, selection, QPoint(100, 90)};
        const QImage whole = ComposeView(view);
        for (int i = 0; i < 40; ++i) {
            const QRect area(int(random() % 300), int(random() % 200), int(random() % 120) + 1, int(random() % 90) + 1);
            const QRect inside = area & whole.rect();
            ASSERT_EQ(Part(view, inside), whole.copy(inside))
                << selection.Left << " area " << area.x() << "," << area.y() << " " << area.width() << "x"
                << area.height();
        }
    }
}

TEST(View, ASelectionChangeCoversBothFramesAndTheText) {
    const Bitmap picture = TestPicture(300, 200);
    const TRect before{10, 50, 120, 150}, after{60, 70, 280, 190};
    const QImage old = ComposeView({picture, before, {}}), now = ComposeView({picture, after, {}});
    const QRegion changed = SelectionChange(before, after);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            if (old.pixel(x, y) != now.pixel(x, y)) ASSERT_TRUE(changed.contains(QPoint(x, y))) << x << "," << y;
    // And little else: the inside of the frames is left alone.
    EXPECT_FALSE(changed.contains(QPoint(80, 100)));
}
