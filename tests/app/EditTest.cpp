// One level of undo, and the clipboard.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QBuffer>
#include <QMimeData>

#include <fstream>

#include "AppFixture.h"
#include "image/Dib.h"
#include "image/Region.h"

TEST_F(AppTest, UndoTakesBackOnlyTheLastCommand) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    auto paint = [&](PackedColor c) {
        Main().UpdateUndo();
        Main().WorkingImage.SetColor(5, 5, c);
        Main().ReDraw();
    };
    paint(PackColor(1, 1, 1));
    Bitmap afterFirst = Main().WorkingImage;
    paint(PackColor(2, 2, 2));
    Main().Selection = {3, 3, 9, 9};
    EXPECT_TRUE(Enabled("UndoMenu"));
    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, afterFirst);
    EXPECT_EQ(Main().Selection, (TRect{0, 0, 39, 29}));
    EXPECT_FALSE(Enabled("UndoMenu"));
}

TEST_F(AppTest, UndoBringsBackTheOldSize) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    Main().UpdateUndo();
    Main().WorkingImage = TestPicture(10, 8);  // as a crop would
    Main().SelectAll();
    Main().ReDraw();
    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));
    EXPECT_EQ(Main().ClientSize(), QSize(260, 30));
}

TEST_F(AppTest, CopyPutsTheSelectionOnTheClipboard) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    Main().CopyMenuClick();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(40, 30));

    Main().Selection = {10, 10, 19, 29};
    Main().CopyMenuClick();
    QImage copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(10, 20));
    const PackedColor c = Main().WorkingImage.GetColor(10, 10);
    EXPECT_EQ(copied.pixel(0, 0), qRgb(RedOf(c), GreenOf(c), BlueOf(c)));

    // Reaching into the grey strip: black there.
    Main().Selection = {35, 0, 44, 9};
    Main().CopyMenuClick();
    copied = QApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(10, 10));
    EXPECT_EQ(copied.pixel(9, 0), qRgb(0, 0, 0));
    const PackedColor edge = Main().WorkingImage.GetColor(39, 0);
    EXPECT_EQ(copied.pixel(4, 0), qRgb(RedOf(edge), GreenOf(edge), BlueOf(edge)));
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_FALSE(Enabled("UndoMenu"));
}

TEST_F(AppTest, PasteReplacesThePictureWithoutAName) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    Main().UpdateUndo();  // from an earlier filter
    Main().WorkingImage.SetColor(0, 0, 0);
    const Bitmap snapshot = Main().UndoImage;

    QImage pasted(33, 17, QImage::Format_RGB32);
    pasted.fill(qRgb(10, 200, 30));
    QApplication::clipboard()->setImage(pasted);
    Main().PasteMenuClick();
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().WorkingImage.Width(), 33);
    EXPECT_EQ(Main().WorkingImage.GetColor(32, 16), PackColor(10, 200, 30));
    EXPECT_EQ(Main().windowTitle(), "Corvalux");
    EXPECT_EQ(Main().Selection, (TRect{0, 0, 32, 16}));
    EXPECT_FALSE(Enabled("SaveMenu"));
    EXPECT_TRUE(Enabled("SaveasMenu"));
    EXPECT_TRUE(Enabled("UndoMenu"));

    // Save as names it again.
    ui.SaveAnswers = {(folder / "y.bmp").string()};
    Main().SaveasMenuClick();
    EXPECT_TRUE(Enabled("SaveMenu"));

    // Undo brings back the filter's snapshot, not the picture before the paste.
    Main().UndoMenuClick();
    EXPECT_EQ(Main().WorkingImage, snapshot);
}

TEST_F(AppTest, PasteWithTextOnlyChangesNothing) {
    Start();
    auto* text = new QMimeData;
    text->setText(QStringLiteral("hello"));
    QApplication::clipboard()->setMimeData(text);
    Main().PasteMenuClick();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Information", "No clipboard data available."}}));
    EXPECT_TRUE(Main().WorkingImage.Empty());
    EXPECT_FALSE(Enabled("SaveasMenu"));
    EXPECT_TRUE(Enabled("PasteMenu"));
}

TEST_F(AppTest, TooLargePicturesAreRefusedAndThePictureStays) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    QImage huge(70000, 1, QImage::Format_RGB32);
    huge.fill(Qt::red);
    QApplication::clipboard()->setImage(huge);
    Main().PasteMenuClick();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Error", "The picture is too large: 70000 \u00D7 1 pixels."}}));
    EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));

    std::vector<std::uint8_t> bytes = EncodeBmpFile(Bitmap(1, 1));
    bytes[18] = 0x70, bytes[19] = 0x11, bytes[20] = 0x01;  // width 70000
    const std::string path = (folder / "huge.bmp").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ui.OpenAnswers = {path};
    Main().OpenMenuClick();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Error", "The picture is too large: 70000 \u00D7 1 pixels."}}));
    EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));
}

TEST_F(AppTest, PasteReadsPicturesOtherProgramsOffer) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    struct Case {
        const char* format;
        QByteArray bytes;
        std::vector<TShownBox> shown;
        int width;  // of the picture afterwards
    };
    const std::vector<std::uint8_t> bmp = EncodeBmpFile(TestPicture(7, 5));
    std::vector<std::uint8_t> hugeBmp = bmp;
    hugeBmp[18] = 0x70, hugeBmp[19] = 0x11, hugeBmp[20] = 0x01;  // declares 70000 x 5
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(9, 4, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    const Case cases[] = {
        {"image/bmp", QByteArray(reinterpret_cast<const char*>(bmp.data()), qsizetype(bmp.size())), {}, 7},
        {"image/png", png, {}, 9},
        {"image/bmp",
         QByteArray(reinterpret_cast<const char*>(hugeBmp.data()), qsizetype(hugeBmp.size())),
         {{"Error", "The picture is too large: 70000 \u00D7 5 pixels."}},
         9},
        {"image/png", QByteArray("not a picture"), {{"Information", "No clipboard data available."}}, 9},
    };
    for (const Case& c : cases) {
        auto* data = new QMimeData;
        data->setData(QString::fromLatin1(c.format), c.bytes);
        QApplication::clipboard()->setMimeData(data);
        Main().PasteMenuClick();
        EXPECT_EQ(ui.Take(), c.shown) << c.format;
        EXPECT_EQ(Main().WorkingImage.Width(), c.width) << c.format;
    }
    EXPECT_EQ(Main().WorkingImage.Height(), 4);
}

// Another program's transparent picture comes as a PNG and as Qt's own decoded image: either
// way its transparent parts show white, as when the file is opened.
TEST_F(AppTest, APastedTransparentPictureLiesOnWhite) {
    Start();
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));
    image.setPixel(1, 0, qRgba(255, 0, 0, 128));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    for (const bool encoded : {true, false}) {
        SCOPED_TRACE(encoded ? "PNG and decoded image offered" : "decoded image only");
        auto* data = new QMimeData;
        if (encoded) data->setData(QStringLiteral("image/png"), png);
        data->setImageData(image);
        QApplication::clipboard()->setMimeData(data);
        Main().PasteMenuClick();
        EXPECT_TRUE(ui.Take().empty());
        EXPECT_EQ(Main().WorkingImage.GetColor(0, 0), PackColor(255, 255, 255));
        EXPECT_EQ(Main().WorkingImage.GetColor(1, 0), PackColor(255, 127, 127));
    }
}
