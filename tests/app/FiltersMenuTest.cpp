// The Filters menu on the real main window: each command changes the selection and undoes.
#include <QAction>

#include "AppFixture.h"
#include "filters/FilterCommands.h"

TEST_F(AppTest, EveryFilterMenuItemChangesTheSelectionAndUndoes) {
    Start(WriteBmp("start.bmp", TestPicture(41, 29)));
    Main().NoiseSeed = [] { return 12345u; };
    const Bitmap start = Main().WorkingImage;
    int items = 0;
    for (const FilterCommand& command : FilterCommands()) {
        if (command.Kind != CommandKind::Steps) continue;
        const std::string name(command.Name);
        Main().Selection = {5, 4, 30, 20};
        Main().FilterMenuClick(name);
        ++items;
        EXPECT_TRUE(ui.Take().empty()) << name;
        EXPECT_TRUE(Enabled("UndoMenu")) << name;
        EXPECT_NE(Main().WorkingImage, start) << name;
        // The same steps on a copy, straight through the table.
        Bitmap expected = start;
        TRect selection{5, 4, 30, 20};
        FilterContext context{expected, selection, [] { return 12345u; }};
        RunFilterCommand(command, context);
        EXPECT_EQ(Main().WorkingImage, expected) << name;
        EXPECT_EQ(Main().Selection, selection) << name;
        Main().UndoMenuClick();
        EXPECT_EQ(Main().WorkingImage, start) << name;
    }
    EXPECT_EQ(items, 36);
}

TEST_F(AppTest, FilterMenuItemsTriggerTheirCommands) {
    Start(WriteBmp("start.bmp", TestPicture(41, 29)));
    const Bitmap start = Main().WorkingImage;
    Main().Action("InvertAllmenu")->trigger();
    EXPECT_EQ(Main().WorkingImage.GetColor(3, 3), start.GetColor(3, 3) ^ 0xffffffu);
    Main().Action("HorisontallyMenu")->trigger();
    EXPECT_EQ(Main().WorkingImage.GetColor(40, 3), start.GetColor(0, 3) ^ 0xffffffu);
}

TEST_F(AppTest, StatisticsReportsTheWholePicture) {
    Bitmap picture(2, 1);
    picture.SetColor(0, 0, PackColor(255, 255, 255));
    const std::string path = WriteBmp("bw.bmp", picture);
    Start(path);
    Main().Selection = {1, 0, 1, 0};
    Main().StatisticsMenuClick();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{
                             {"Information", "File: " + path +
                                                 "\r\nDimensions: 2 X 1\r\n\r\nOptimized: yes\r\n\r\nR: 0 to 255\r\nG: "
                                                 "0 to 255\r\nB: 0 to 255\r\n\r\nAverage luminance: 50 %"}}));
}

TEST_F(AppTest, FeatherTakesTheSnapshotAndShowsThePalette) {
    Start(WriteBmp("start.bmp", TestPicture(41, 29)));
    Main().FeatherMenuClick();
    EXPECT_TRUE(Enabled("UndoMenu"));
    EXPECT_TRUE(forms->PaletteForm->isVisible());
}
