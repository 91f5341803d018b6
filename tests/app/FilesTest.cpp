// Opening and saving pictures, the command line and dropped files.
#include <QAction>
#include <fstream>
#include <functional>

#include "AppFixture.h"
#include "image/PictureFile.h"

namespace {
std::vector<TShownBox> Info(const std::string& text) { return {{"Information", text}}; }
const char* SaveRefusal = "You must specify a .BMP, .JPG, .PNG, .TIF or .WEBP file.\r\nexample: MyPic.bmp";

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

TEST_F(AppTest, CommandLineOpensTheFileOrSaysItIsMissing) {
    const std::string path = WriteBmp("start.bmp", TestPicture(120, 40));
    Start(path);
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().WorkingImage, TestPicture(120, 40));
    EXPECT_EQ(Main().windowTitle(), QString::fromStdString("Corvalux - " + path));
    EXPECT_EQ(Main().Selection, (TRect{0, 0, 119, 39}));
    forms.reset();

    const std::string missing = (folder / "nothing.bmp").string();
    Start(missing);
    EXPECT_EQ(ui.Take(), Info(missing + " does not exist."));
    EXPECT_EQ(Main().ClientSize(), QSize(260, 0));
    EXPECT_EQ(Main().windowTitle(), "Corvalux");
}

TEST_F(AppTest, OpenEnablesThePictureMenusAndKeepsUndo) {
    Start();
    ui.OpenAnswers = {WriteBmp("a.BMP", TestPicture(30, 20))};
    Main().OpenMenuClick();
    for (const char* on : {"SaveasMenu", "SaveMenu", "QuickSaveMenu", "PrintMenu", "CopyMenu", "SelectallMenu",
                           "FiltersMenu", "DeformMenu"})
        EXPECT_TRUE(Enabled(on)) << on;
    EXPECT_FALSE(Enabled("UndoMenu"));
    Main().UpdateUndo();  // as a filter would
    Main().WorkingImage.SetColor(0, 0, 0);
    ui.OpenAnswers = {WriteBmp("b.bmp", TestPicture(50, 10))};
    Main().OpenMenuClick();
    EXPECT_TRUE(Enabled("UndoMenu"));
    Main().UndoMenuClick();  // brings back the previous file's snapshot
    EXPECT_EQ(Main().WorkingImage, TestPicture(30, 20));
    EXPECT_TRUE(ui.Take().empty());
}

TEST_F(AppTest, RefusedAndBrokenFilesLeaveThePicture) {
    Start(WriteBmp("good.bmp", TestPicture(40, 30)));
    const std::string broken = (folder / "broken.bmp").string();
    std::ofstream(broken) << "BM not really";

    ui.OpenAnswers = {(folder / "photo.gif").string()};
    Main().OpenMenuClick();
    EXPECT_EQ(ui.Take(), Info("You must specify a BMP, JPG, PNG, TIFF, HEIC, AVIF, WebP or JXL file."));
    EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));

    ui.OpenAnswers = {broken};
    Main().OpenMenuClick();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Error", "Bitmap image is not valid."}}));
    EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));

    ui.OpenAnswers = {(folder / "gone.jpg").string()};
    Main().OpenMenuClick();
    const auto shown = ui.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Kind, "Error");
    EXPECT_NE(shown[0].Text.find("No such file or directory"), std::string::npos) << shown[0].Text;
    EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));
}

// A file that does not load must not lend the picture its name: Save would then write the
// picture on screen over that file. Every way of opening keeps the name, caption and Save.
TEST_F(AppTest, FailedOpensKeepTheNameCaptionAndSave) {
    const std::string good = WriteBmp("good.bmp", TestPicture(40, 30));
    const std::string corrupt = (folder / "corrupt.jpg").string();
    std::ofstream(corrupt) << "\xFF\xD8\xFF\xE0 not a real jpeg";
    const std::string refused = (folder / "notes.txt").string();
    std::ofstream(refused) << "text";
    const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> ways = {
        {"open",
         [&](const std::string& path) {
             ui.OpenAnswers = {path};
             Main().OpenMenuClick();
         }},
        {"drop", [&](const std::string& path) { Main().DropFiles({path}); }},
        {"snapshot", [&](const std::string& path) { Main().LoadSnapshot(path); }},
    };
    for (const auto& [way, open] : ways) {
        for (const std::string& bad : {corrupt, refused}) {
            SCOPED_TRACE(std::string(way) + " " + bad);
            Start(good);
            open(bad);
            EXPECT_EQ(ui.Take().size(), 1u);
            Main().ReDraw();
            EXPECT_EQ(Main().FileName, good);
            EXPECT_EQ(Main().windowTitle(), QString::fromStdString("Corvalux - " + good));
            EXPECT_TRUE(Enabled("SaveMenu"));
            Main().WorkingImage.SetColor(0, 0, PackColor(9, 9, 9));
            Main().SaveMenuClick();
            EXPECT_TRUE(ui.Take().empty());
            EXPECT_EQ(LoadPicture(good, PictureFormat::Bitmap).GetColor(0, 0), PackColor(9, 9, 9));
            EXPECT_EQ(ReadText(corrupt).substr(4), " not a real jpeg");
            forms.reset();
        }
    }
    // The command line keeps the program unnamed.
    Start(corrupt);
    EXPECT_EQ(ui.Take().size(), 1u);
    EXPECT_EQ(Main().FileName, "");
    EXPECT_EQ(Main().windowTitle(), "Corvalux");
}

// A path whose status cannot be read (here a loop of links) reaches the error box, instead of
// an exception ending the program with the work unsaved.
TEST_F(AppTest, SaveAsOntoAnUnreadablePathShowsTheError) {
    const std::string start = WriteBmp("start.bmp", TestPicture(40, 30));
    Start(start);
    std::filesystem::create_symlink(folder / "loop-b.bmp", folder / "loop-a.bmp");
    std::filesystem::create_symlink(folder / "loop-a.bmp", folder / "loop-b.bmp");
    ui.SaveAnswers = {(folder / "loop-a.bmp").string()};
    Main().SaveasMenuClick();
    const auto shown = ui.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Kind, "Error");
    EXPECT_NE(shown[0].Text.find("loop-a.bmp"), std::string::npos) << shown[0].Text;
    EXPECT_EQ(Main().FileName, start);
}

TEST_F(AppTest, SaveAsAsksBeforeOverwritingAndRefusesOtherNames) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const std::string existing = (folder / "exists.bmp").string();
    std::ofstream(existing) << "keep me";

    ui.SaveAnswers = {existing};
    ui.ConfirmAnswers = {false};
    Main().SaveasMenuClick();
    EXPECT_EQ(ui.Take(), (std::vector<TShownBox>{{"Confirm", "File exists. Overwrite?"}}));
    EXPECT_EQ(ReadText(existing), "keep me");
    EXPECT_EQ(Main().FileName, (folder / "start.bmp").string());

    ui.SaveAnswers = {existing};
    ui.ConfirmAnswers = {true};
    Main().SaveasMenuClick();
    ui.Take();
    EXPECT_EQ(LoadPicture(existing, PictureFormat::Bitmap), TestPicture(40, 30));
    EXPECT_EQ(Main().FileName, existing);

    ui.SaveAnswers = {(folder / "x.gif").string()};
    Main().SaveasMenuClick();
    EXPECT_EQ(ui.Take(), Info(SaveRefusal));
    EXPECT_FALSE(std::filesystem::exists(folder / "x.gif"));
    EXPECT_TRUE(Main().windowTitle().endsWith("exists.bmp"));  // no redraw yet
    Main().ReDraw();
    EXPECT_TRUE(Main().windowTitle().endsWith("x.gif"));
    Main().SaveMenuClick();  // Save repeats the refusal
    EXPECT_EQ(ui.Take(), Info(SaveRefusal));
}

TEST_F(AppTest, JpegSavedAndReopenedKeepsItsSize) {
    Start(WriteBmp("start.bmp", TestPicture(67, 45)));
    const std::string jpeg = (folder / "out.jpg").string();
    ui.SaveAnswers = {jpeg};
    Main().SaveasMenuClick();
    ui.OpenAnswers = {jpeg};
    Main().OpenMenuClick();
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().WorkingImage.Width(), 67);
    EXPECT_EQ(Main().WorkingImage.Height(), 45);
}

TEST_F(AppTest, QuickSaveWritesBesideTheProgramWithoutAsking) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    const std::filesystem::path quick = folder / "quicksave.bmp";
    Main().QuickSaveMenuClick();
    Main().WorkingImage.SetColor(1, 1, PackColor(1, 2, 3));
    Main().QuickSaveMenuClick();
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(LoadPicture(quick.string(), PictureFormat::Bitmap).GetColor(1, 1), PackColor(1, 2, 3));
    EXPECT_EQ(Main().windowTitle(), QString::fromStdString("Corvalux - " + quick.string()));
    EXPECT_TRUE(Enabled("SaveMenu"));
}

TEST_F(AppTest, FailedSaveKeepsTheOldFileAndLeavesNoTemporary) {
    Start(WriteBmp("start.bmp", TestPicture(40, 30)));
    // A folder where the picture should go: the rename fails after the data was written.
    std::filesystem::create_directories(folder / "taken.bmp" / "inside");
    ui.SaveAnswers = {(folder / "taken.bmp").string()};
    Main().SaveasMenuClick();
    auto shown = ui.Take();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].Kind, "Error");
    EXPECT_NE(shown[1].Text.find("taken.bmp"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken.bmp" / "inside"));

    ui.SaveAnswers = {(folder / "no-such-folder" / "x.bmp").string()};
    Main().SaveasMenuClick();
    shown = ui.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].Text.find("No such file or directory"), std::string::npos);

    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files += entry.is_regular_file();
    EXPECT_EQ(files, 1);  // start.bmp only
}

TEST_F(AppTest, DroppedFilesOpenInOrder) {
    Start();
    const std::string longName(250, 'n');
    std::filesystem::create_directories(folder / longName);
    const std::string a = WriteBmp("a.bmp", TestPicture(10, 10));
    const std::string b = WriteBmp(longName + "/b.bmp", TestPicture(20, 20));  // over 254 characters
    const std::string c = WriteBmp("c.bmp", TestPicture(30, 25));
    ASSERT_GT(b.size(), 254u);
    Main().DropFiles({a, b, c});
    EXPECT_TRUE(ui.Take().empty());
    EXPECT_EQ(Main().WorkingImage, TestPicture(30, 25));
    EXPECT_EQ(Main().FileName, c);
    Main().DropFiles({b});
    EXPECT_EQ(Main().WorkingImage, TestPicture(20, 20));
    EXPECT_TRUE(ui.Take().empty());
}

// A missing pictures folder is made only inside an existing home; elsewhere QuickSave says so
// and makes nothing.
TEST_F(AppTest, QuickSaveFallsBackToThePicturesFolder) {
    const std::string home = (folder / "home").string(), missing = (folder / "missing" / "deeper").string();
    std::filesystem::create_directories(home);
    const struct {
        const char* Home;
        std::string Pictures;
        bool Saved;
    } cases[] = {{home.c_str(), home + "/Pictures", true},
                 {nullptr, (folder / "Pictures").string(), false},
                 {"", (folder / "Pictures").string(), false},
                 {missing.c_str(), missing + "/Pictures", false}};
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Pictures);
        c.Home ? ::setenv("HOME", c.Home, 1) : ::unsetenv("HOME");
        Start(WriteBmp("start.bmp", TestPicture(40, 30)));
        Main().ProgramFolder = "/proc";  // no file can be made there, even by the superuser
        Main().PicturesFolder = c.Pictures;
        Main().QuickSaveMenuClick();
        const std::vector<TShownBox> shown = ui.Take();
        EXPECT_EQ(shown.size(), c.Saved ? 0u : 1u);
        EXPECT_EQ(std::filesystem::exists(c.Pictures + "/quicksave.bmp"), c.Saved);
        EXPECT_EQ(std::filesystem::exists(c.Pictures), c.Saved);
    }
    ::setenv("HOME", savedHome.c_str(), 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

// Cancel pressed while a file loads or saves: the picture, its name and the files on disk stay
// as they were, whether the save was to a new name, over an existing file, or a QuickSave.
TEST_F(AppTest, CancelledOpensAndSavesChangeNothing) {
    const std::string start = WriteBmp("start.bmp", TestPicture(40, 30));
    const std::string other = WriteBmp("other.bmp", TestPicture(20, 10));
    const std::string existing = (folder / "exists.jpg").string();
    std::ofstream(existing) << "keep me";
    const std::string fresh = (folder / "fresh.png").string();
    const struct {
        const char* name;
        std::function<void()> run;
    } commands[] = {
        {"open",
         [&] {
             ui.OpenAnswers = {other};
             Main().OpenMenuClick();
         }},
        {"drop", [&] { Main().DropFiles({other}); }},
        {"save as new",
         [&] {
             ui.SaveAnswers = {fresh};
             Main().SaveasMenuClick();
         }},
        {"save as over",
         [&] {
             ui.SaveAnswers = {existing};
             Main().SaveasMenuClick();
         }},
        {"quicksave", [&] { Main().QuickSaveMenuClick(); }},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.name);
        Start(start);
        const bool saveEnabled = Enabled("SaveMenu");
        cancelledDialogs = 0;
        PressCancelInEveryProgressDialog();
        command.run();
        EXPECT_EQ(cancelledDialogs, 1);
        for (const TShownBox& box : ui.Take()) EXPECT_EQ(box.Kind, "Confirm") << box.Text;
        EXPECT_EQ(Main().WorkingImage, TestPicture(40, 30));
        EXPECT_EQ(Main().FileName, start);
        EXPECT_EQ(Main().windowTitle(), QString::fromStdString("Corvalux - " + start));
        EXPECT_EQ(Enabled("SaveMenu"), saveEnabled);
        EXPECT_EQ(ReadText(existing), "keep me");
        EXPECT_FALSE(std::filesystem::exists(fresh));
        EXPECT_FALSE(std::filesystem::exists(folder / "quicksave.bmp"));
    }
}
