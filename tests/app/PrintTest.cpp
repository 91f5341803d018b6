// Printing, sent to a PDF file through the printer seam and read back with pdftoppm.
#include <QButtonGroup>
#include <QImage>
#include <QRadioButton>
#include <cstdlib>

#include "AppFixture.h"

namespace {
// The bounding box of the non-white pixels of a page.
QRect InkBox(const QImage& page) {
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 250) box |= QRect(x, y, 1, 1);
    return box;
}
}  // namespace

TEST_F(AppTest, PrintsThreeDotsPerPixelFromTheTopLeft) {
    Start(WriteBmp("start.bmp", TestPicture(100, 50)));
    Bitmap dark(100, 50);  // black, so that the whole block shows on the page
    Main().WorkingImage = dark;
    const std::string pdf = (folder / "page.pdf").string();
    QMarginsF margins;
    Main().OpenDefaultPrinter = [&] {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(pdf));
        printer->setResolution(72);  // one dot per PDF point, one pixel per point at -r 72
        margins = printer->pageLayout().margins(QPageLayout::Point);
        return printer;
    };
    for (auto orientation : {QPageLayout::Landscape, QPageLayout::Portrait}) {
        if (orientation == QPageLayout::Portrait) forms->PrintForm->PortraitRadioButton->click();
        Main().PrintMenuClick();
        forms->PrintForm->Button1Click();
        EXPECT_FALSE(forms->PrintForm->isVisible());
        EXPECT_TRUE(ui.Take().empty());
        const std::string png = (folder / "page").string();
        ASSERT_EQ(std::system(("pdftoppm -r 72 -png -singlefile '" + pdf + "' '" + png + "'").c_str()), 0);
        const QImage page(QString::fromStdString(png + ".png"));
        ASSERT_FALSE(page.isNull());
        EXPECT_EQ(page.width() > page.height(), orientation == QPageLayout::Landscape);
        const QRect box = InkBox(page);
        // The margins are not whole points, so the block's edges may be shared with a neighbour.
        EXPECT_NEAR(box.width(), 300, 1);
        EXPECT_NEAR(box.height(), 150, 1);
        EXPECT_NEAR(box.left(), margins.left(), 1.0);
        EXPECT_NEAR(box.top(), margins.top(), 1.0);
    }
    // The choice stays for the next time.
    EXPECT_TRUE(forms->PrintForm->PortraitRadioButton->isChecked());
}

TEST_F(AppTest, NoDefaultPrinterKeepsTheDialogOpen) {
    Start(WriteBmp("start.bmp", TestPicture(10, 10)));
    Main().OpenDefaultPrinter = [] { return std::unique_ptr<QPrinter>(); };
    Main().PrintMenuClick();
    forms->PrintForm->Button1Click();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Error", "There is no default printer currently selected."}}));
    EXPECT_TRUE(forms->PrintForm->isVisible());
    forms->PrintForm->Button2Click();
    EXPECT_FALSE(forms->PrintForm->isVisible());
}
