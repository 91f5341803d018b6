// Every box belongs to the window it speaks for, so that a window kept on top cannot hide it.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "AppFixture.h"

TEST_F(AppTest, EachBoxSpeaksForTheWindowThatShowsIt) {
    const struct {
        const char* Name;
        std::function<void(TForms&)> Act;
        std::function<QWidget*(TForms&)> Owner;
    } cases[] = {
        {"main window: paste without a picture",
         [](TForms& f) {
             auto* text = new QMimeData;
             text->setText(QStringLiteral("no picture"));
             QApplication::clipboard()->setMimeData(text);
             f.MainForm->PasteMenuClick();
         },
         [](TForms& f) { return f.MainForm.get(); }},
        {"custom filter: help",
         [](TForms& f) {
             f.MainForm->CustomfilterMenuClick();
             QTest::mouseClick(f.CustomFilterForm->HelpButton, Qt::LeftButton);
         },
         [](TForms& f) { return f.CustomFilterForm.get(); }},
        {"webcam: an empty driver line",
         [](TForms& f) {
             f.MainForm->WebcameraMenuClick();
             f.VideoForm->DriversComboBox->setCurrentIndex(1);
             emit f.VideoForm->DriversComboBox->activated(1);
         },
         [](TForms& f) { return f.VideoForm.get(); }},
        {"print: no printer",
         [](TForms& f) {
             f.MainForm->OpenDefaultPrinter = [] { return std::unique_ptr<QPrinter>(); };
             f.MainForm->PrintMenuClick();
             f.PrintForm->Button1Click();
         },
         [](TForms& f) { return f.PrintForm.get(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(WriteBmp("start.bmp", TestPicture(10, 10)));
        ui.Speakers.clear();
        c.Act(*forms);
        ASSERT_EQ(ui.Speakers.size(), 1u);
        EXPECT_EQ(ui.Speakers[0], c.Owner(*forms));
        ui.Take();
        forms.reset();
    }
}
