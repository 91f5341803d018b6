// The session layer with the managers Linux has: one without a selection box (the program's
// own list), one with no source at all, and a TWAIN 2 manager that calls the program back.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>

#include "twain/Scan.h"
#include "TwainFixture.h"

namespace {
using Log = std::vector<std::string>;

Log Join(std::initializer_list<Log> parts) {
    Log all;
    for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Log Closing = {"USERINTERFACE/DISABLEDS", "IDENTITY/CLOSEDS", "PARENT/CLOSEDSM"};
const Log OwnList = {"PARENT/OPENDSM",   "IDENTITY/USERSELECT FAILURE", "STATUS/GET@manager",  "IDENTITY/GETFIRST",
                     "IDENTITY/GETNEXT", "IDENTITY/GETNEXT ENDOFLIST",  "IDENTITY/GETDEFAULT", "PARENT/CLOSEDSM"};
const TTwainSourceEntry SourceA{"Fake Source A", "Fake Makers A", "Fake Family A", "1.0 (Fake build A)"};
const TTwainSourceEntry SourceB{"Fake Source B", "Fake Makers B", "Fake Family B", "2.0 (Fake build B)"};

// The program's own list as the user sees it: the real dialog.
struct TRealList : TRecordedBoxes {
    std::optional<int> ChooseSource(const std::vector<TTwainSourceEntry>& sources, int chosen, void* parent) override {
        return TTwainUserInterface::ChooseSource(sources, chosen, parent);
    }
};
}  // namespace

// The manager refuses MSG_USERSELECT as having no selection box: the program lists the
// sources itself, the default chosen first, and the acquisition opens the one picked; a
// cancelled list leaves the manager's default.
TEST_F(TwainTest, OwnListAppearsAndOpensTheSourcePicked) {
    const struct {
        std::optional<int> pick;
        const char* opened;
    } cases[] = {{0, "Fake Source A"}, {1, "Fake Source B"}, {std::nullopt, "Fake Source B"}};
    for (const auto& c : cases) {
        const std::string name = c.pick ? std::to_string(*c.pick) : "cancel";
        fake.Run("select refuse; default B; event 1 xferready; xfer done 3 2 24");
        boxes.Offered.clear();
        boxes.Pick = c.pick;
        EXPECT_EQ(TWAIN_SelectImageSource(0), c.pick.has_value()) << name;
        EXPECT_FALSE(TWAIN_NoSourceFound()) << name;
        ASSERT_EQ(boxes.Offered.size(), 1u) << name;
        EXPECT_EQ(boxes.Offered[0].Sources, (std::vector<TTwainSourceEntry>{SourceA, SourceB})) << name;
        EXPECT_EQ(boxes.Offered[0].Chosen, 1) << name;  // the default, B
        EXPECT_EQ(fake.Log(), OwnList) << name;

        ASSERT_NE(TWAIN_AcquireImages(0), nullptr) << name;
        EXPECT_EQ(fake.Report("opened"), c.opened) << name;
        EXPECT_TRUE(boxes.Shown.empty()) << name;
    }
}

// No source at all: the manager says so, or the program's list comes out empty. The user
// has been told in the selection; the scan command then acquires nothing and shows nothing.
TEST_F(TwainTest, NoSourceAtAllEndsTheScanAfterTheSelection) {
    const struct {
        const char* script;
        Log log;
        std::size_t lists;
    } cases[] = {
        {"select nosource",
         {"PARENT/OPENDSM", "IDENTITY/USERSELECT FAILURE", "STATUS/GET@manager", "PARENT/CLOSEDSM"},
         0},
        {"select refuse; sources none",
         {"PARENT/OPENDSM", "IDENTITY/USERSELECT FAILURE", "STATUS/GET@manager", "IDENTITY/GETFIRST ENDOFLIST",
          "PARENT/CLOSEDSM"},
         1},
    };
    for (const auto& c : cases) {
        fake.Run(c.script);
        boxes.Offered.clear();
        EXPECT_FALSE(ScanFirstImage()) << c.script;
        EXPECT_TRUE(TWAIN_NoSourceFound()) << c.script;
        EXPECT_EQ(fake.Log(), c.log) << c.script;
        ASSERT_EQ(boxes.Offered.size(), c.lists) << c.script;
        if (c.lists) {
            EXPECT_TRUE(boxes.Offered[0].Sources.empty()) << c.script;
        }
        EXPECT_TRUE(boxes.Shown.empty()) << c.script;
    }
    // Any other refusal of the selection still acquires from the default source.
    fake.Run("select failure; event 1 closedsreq");
    EXPECT_FALSE(ScanFirstImage());
    EXPECT_FALSE(TWAIN_NoSourceFound());
    EXPECT_EQ(fake.Report("opened"), "Fake Source A");
}

// A TWAIN 2 manager: the program's identity says DF_APP2, the manager's memory functions come
// from DAT_ENTRYPOINT, the callback is registered once the source is open, and the source's
// messages arrive through it, from another thread, instead of through MSG_PROCESSEVENT.
TEST_F(TwainTest, TwainTwoManagerGetsTheCallbackAndItsMessagesAreActedOn) {
    fake.Run("manager 2; event 2 xferready; xfer done 4 3 24 *2");
    const TW_HANDLE result = TWAIN_AcquireImages(0);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(fake.Log(), Join({{"PARENT/OPENDSM", "ENTRYPOINT/GET", "IDENTITY/OPENDS", "CALLBACK2/REGISTER_CALLBACK",
                                 "USERINTERFACE/ENABLEDS", "EVENT/PROCESSEVENT NOTDSEVENT", "callback XFERREADY",
                                 "EVENT/PROCESSEVENT NOTDSEVENT", "IMAGENATIVEXFER/GET XFERDONE",
                                 "PENDINGXFERS/ENDXFER", "IMAGENATIVEXFER/GET XFERDONE", "PENDINGXFERS/ENDXFER"},
                                Closing}));
    EXPECT_EQ(fake.Number("app2"), 1);
    EXPECT_EQ(TWAIN_ImageCount(), 2);
    EXPECT_EQ(TWAIN_ImageWidth(result), 4);
    TWAIN_FreeImages();
    EXPECT_EQ(fake.Number("entryfrees"), 2);

    // A manager that knows only DAT_CALLBACK gets that; a close request comes the same way.
    fake.Run("manager 2; fail callback2; event 1 closedsreq");
    EXPECT_EQ(TWAIN_AcquireImages(0), nullptr);
    EXPECT_EQ(fake.Log(), Join({{"PARENT/OPENDSM", "ENTRYPOINT/GET", "IDENTITY/OPENDS",
                                 "CALLBACK2/REGISTER_CALLBACK FAILURE", "CALLBACK/REGISTER_CALLBACK",
                                 "USERINTERFACE/ENABLEDS", "callback CLOSEDSREQ", "EVENT/PROCESSEVENT NOTDSEVENT"},
                                Closing}));
}

// A 1.x manager sees the DF_APP2 mark as nothing it knows, and none of the 2.x triplets.
TEST_F(TwainTest, OneXManagerGetsNoneOfTheTwoXTriplets) {
    fake.Run("event 1 xferready; xfer done 2 2 8");
    ASSERT_NE(TWAIN_AcquireImages(0), nullptr);
    EXPECT_EQ(fake.Number("app2"), 1);
    EXPECT_EQ(fake.Log(),
              Join({{"PARENT/OPENDSM", "IDENTITY/OPENDS", "USERINTERFACE/ENABLEDS",
                     "EVENT/PROCESSEVENT DSEVENT XFERREADY", "IMAGENATIVEXFER/GET XFERDONE", "PENDINGXFERS/ENDXFER"},
                    Closing}));
    TWAIN_FreeImages();
    EXPECT_EQ(fake.Number("entryfrees"), 0);
}

// File > Exit while the source's dialog of a TWAIN 2 manager is up: the loop ends and the
// session closes down, as with a 1.x manager.
TEST_F(TwainTest, QuitRequestEndsTheLoopWithATwainTwoManager) {
    EXPECT_EQ(AcquireAndQuitAtTheSecondEvent("manager 2; event 50 closedsreq"), nullptr);
    EXPECT_EQ(TWAIN_SessionState(), PreSession);
    EXPECT_EQ(fake.Log().back(), "PARENT/CLOSEDSM");
}

// Two sources of one product name: the program's own list tells them apart by maker and
// version, and the row clicked is the source opened, by the Id the manager gave it.
TEST_F(TwainTest, TwinSourcesAreToldApartAndTheOneClickedOpens) {
    TRealList list;
    TWAIN_SetUserInterface(&list);
    Log rows;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        auto* view = dialog ? dialog->findChild<QTreeWidget*>("SourceList") : nullptr;
        if (!view) return;
        driver.stop();
        for (QTreeWidgetItem* item : {view->topLevelItem(0), view->topLevelItem(1)})
            rows.push_back((item->text(0) + " | " + item->text(1) + " | " + item->text(3)).toStdString());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(view->topLevelItem(1)).center());
        QTest::mouseClick(dialog->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    });
    driver.start(10);
    fake.Run("select refuse; sources twins; event 1 xferready; xfer done 3 2 24");
    EXPECT_TRUE(TWAIN_SelectImageSource(0));
    EXPECT_EQ(rows, (Log{"Fake Source | Fake Makers A | 1.0 (Fake build A)",
                         "Fake Source | Fake Makers B | 2.0 (Fake build B)"}));
    ASSERT_NE(TWAIN_AcquireImages(0), nullptr);
    EXPECT_EQ(fake.Report("openedid"), "3");
}
