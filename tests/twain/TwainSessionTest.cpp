// The session layer against the scripted fake manager: the triplets in order, the states,
// the image list, the boxes, and every handle freed.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <filesystem>

#include "TwainFixture.h"
#include "twain/TwainManager.h"

namespace {
using Log = std::vector<std::string>;

const Log Opening = {"PARENT/OPENDSM", "IDENTITY/OPENDS", "USERINTERFACE/ENABLEDS"};
const Log Closing = {"USERINTERFACE/DISABLEDS", "IDENTITY/CLOSEDS", "PARENT/CLOSEDSM"};
const std::string Idle = "EVENT/PROCESSEVENT NOTDSEVENT";
const std::string XferReady = "EVENT/PROCESSEVENT DSEVENT XFERREADY";
const std::string CloseRequest = "EVENT/PROCESSEVENT DSEVENT CLOSEDSREQ";
const std::string Done = "IMAGENATIVEXFER/GET XFERDONE";
const std::string EndTransfer = "PENDINGXFERS/ENDXFER";

Log Join(std::initializer_list<Log> parts) {
    Log all;
    for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TWindowHandle HandleOf(QWidget* widget) { return reinterpret_cast<TWindowHandle>(widget); }

QWidget* ProxyWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowTitle() == "Acquire Proxy") return widget;
    return nullptr;
}
}  // namespace

TEST_F(TwainTest, SelectionThenAcquisitionWalkTheStatesUpAndDown) {
    fake.Run("select choose B; event 2 xferready; xfer done 5 3 24");
    EXPECT_TRUE(TWAIN_SelectImageSource(0));
    EXPECT_EQ(fake.Log(), (Log{"PARENT/OPENDSM", "IDENTITY/USERSELECT", "PARENT/CLOSEDSM"}));
    EXPECT_EQ(TWAIN_SessionState(), PreSession);

    const TW_HANDLE result = TWAIN_AcquireImages(0);
    EXPECT_EQ(fake.Log(), Join({{"PARENT/OPENDSM", "IDENTITY/USERSELECT", "PARENT/CLOSEDSM"},
                                Opening,
                                {Idle, XferReady, Done, EndTransfer},
                                Closing}));
    EXPECT_EQ(fake.Report("opened"), "Fake Source B");
    EXPECT_EQ(fake.Report("origin"), "1.6 groups 3 <?>");
    ASSERT_EQ(TWAIN_ImageCount(), 1);
    EXPECT_EQ(result, TWAIN_ImageAt(0));
    EXPECT_EQ(fake.Handles(), std::vector<TW_HANDLE>{result});
    EXPECT_EQ(TWAIN_ImageWidth(result), 5);
    EXPECT_EQ(TWAIN_ImageHeight(result), 3);
    EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(TwainTest, CancelledSelectionStillAcquiresFromTheDefaultSource) {
    fake.Run("select cancel; event 1 closedsreq");
    EXPECT_FALSE(TWAIN_SelectImageSource(0));
    EXPECT_EQ(TWAIN_AcquireImages(0), nullptr);
    EXPECT_EQ(fake.Report("opened"), "Fake Source A");
    EXPECT_EQ(
        fake.Log(),
        Join({{"PARENT/OPENDSM", "IDENTITY/USERSELECT CANCEL", "PARENT/CLOSEDSM"}, Opening, {CloseRequest}, Closing}));
    EXPECT_EQ(TWAIN_ImageCount(), 0);
    EXPECT_TRUE(boxes.Shown.empty());
}

// A manager set with CORVALUX_TWAIN_DSM is the one used: when it is missing or no manager,
// both commands say so and nothing else is tried. With none set and none anywhere, the box
// names each library looked for and the folders it is not in.
TEST_F(TwainTest, ManagerThatCannotBeLoadedIsNamedInBothBoxes) {
    const std::string program = QApplication::applicationDirPath().toStdString();
    const struct {
        const char* manager;
        std::string says;  // how the box begins
    } cases[] = {
        {"/nonexistent/libtwaindsm.so",
         ": CORVALUX_TWAIN_DSM names /nonexistent/libtwaindsm.so, which does not exist."},
        {"/tmp", ": CORVALUX_TWAIN_DSM names /tmp, which is not a file."},
        {NO_ENTRY_DSM_PATH, " (" NO_ENTRY_DSM_PATH "): the library has no DSM_Entry function."},
        {nullptr, ": none of these was found: libcorvalux-twain-sane.so in " + program + ", "},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> paths = ManagerCandidates(c.manager, program);
        if (!c.manager && std::ranges::any_of(paths, [](const auto& path) { return std::filesystem::exists(path); }))
            continue;  // a Source Manager is installed
        fake.Run("");
        c.manager ? ::setenv("CORVALUX_TWAIN_DSM", c.manager, 1) : ::unsetenv("CORVALUX_TWAIN_DSM");
        boxes.Shown.clear();
        EXPECT_FALSE(TWAIN_SelectImageSource(0));
        EXPECT_EQ(TWAIN_AcquireImages(0), nullptr);
        EXPECT_EQ(TWAIN_SessionState(), PreSession);
        ASSERT_EQ(boxes.Shown.size(), 2u);
        for (const std::string& box : boxes.Shown)
            EXPECT_TRUE(box.starts_with("TWAIN Error: Unable to load Source Manager" + c.says)) << box;
        EXPECT_TRUE(fake.Log().empty());
        EXPECT_EQ(ProxyWindow(), nullptr);
    }
}

TEST_F(TwainTest, ThreeImagesInOneBatchAreKeptInOrder) {
    fake.Run("event 1 xferready; xfer done 4 4 24 *3; pending 2 1 0");
    const TW_HANDLE result = TWAIN_AcquireImages(0);
    EXPECT_EQ(fake.Log(),
              Join({Opening, {XferReady, Done, EndTransfer, Done, EndTransfer, Done, EndTransfer}, Closing}));
    const std::vector<TW_HANDLE> handed = fake.Handles();
    ASSERT_EQ(handed.size(), 3u);
    ASSERT_EQ(TWAIN_ImageCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(TWAIN_ImageAt(i), handed[i]);
    EXPECT_EQ(result, handed[2]);
    EXPECT_EQ(TWAIN_ImageAt(3), nullptr);
    EXPECT_EQ(TWAIN_ImageAt(-1), nullptr);

    // A released image leaves the list; the next acquisition releases the rest.
    TWAIN_ReleaseImage(TWAIN_ImageAt(0));
    EXPECT_EQ(TWAIN_ImageAt(0), nullptr);
    EXPECT_EQ(fake.Number("live"), 2);
    fake.Run("event 1 closedsreq");
    EXPECT_EQ(TWAIN_AcquireImages(0), nullptr);
    EXPECT_EQ(TWAIN_ImageCount(), 0);
    EXPECT_EQ(fake.Number("live"), 0);
}

TEST_F(TwainTest, CancelledLastTransferKeepsTheSourceDialogUp) {
    fake.Run("event 1 xferready; xfer done 4 4 24; xfer cancel; pending 1 0; event 2 closedsreq");
    EXPECT_EQ(TWAIN_AcquireImages(0), nullptr);
    EXPECT_EQ(fake.Log(),
              Join({Opening,
                    {XferReady, Done, EndTransfer, "IMAGENATIVEXFER/GET CANCEL", EndTransfer, Idle, CloseRequest},
                    Closing}));
    ASSERT_EQ(TWAIN_ImageCount(), 1);
    EXPECT_EQ(TWAIN_ImageAt(0), fake.Handles().at(0));
}

TEST_F(TwainTest, OpenOrEnableFailureIsReportedAndClosedDown) {
    const struct {
        const char* script;
        Log log;
    } cases[] = {
        {"open failure", {"PARENT/OPENDSM", "IDENTITY/OPENDS FAILURE", "STATUS/GET@manager", "PARENT/CLOSEDSM"}},
        {"enable failure",
         {"PARENT/OPENDSM", "IDENTITY/OPENDS", "USERINTERFACE/ENABLEDS FAILURE", "STATUS/GET@source",
          "IDENTITY/CLOSEDS", "PARENT/CLOSEDSM"}},
    };
    for (const auto& c : cases) {
        fake.Run(c.script);
        boxes.Shown.clear();
        EXPECT_EQ(TWAIN_AcquireImages(0), nullptr) << c.script;
        EXPECT_EQ(fake.Log(), c.log) << c.script;
        EXPECT_EQ(boxes.Shown, Log{"TWAIN Error: TWAIN_ReportLastError: an error occurred"}) << c.script;
        EXPECT_EQ(TWAIN_SessionState(), PreSession) << c.script;
    }
    // TWRC_CHECKSTATUS from MSG_ENABLEDS is no failure.
    fake.Run("enable checkstatus; event 1 closedsreq");
    boxes.Shown.clear();
    TWAIN_AcquireImages(0);
    EXPECT_EQ(
        fake.Log(),
        Join({{"PARENT/OPENDSM", "IDENTITY/OPENDS", "USERINTERFACE/ENABLEDS CHECKSTATUS"}, {CloseRequest}, Closing}));
    EXPECT_TRUE(boxes.Shown.empty());
}

// Transfers that fail and closing triplets that the source refuses once: the layer still
// gets back to state 1, and never hangs in the loop.
TEST_F(TwainTest, RefusedTripletsStillEndInStateOne) {
    const struct {
        const char* script;
        Log middle;  // between the opening triplets and the last two closing ones
        int images;
    } cases[] = {
        {"event 1 xferready; xfer failure; event 1 closedsreq",
         {XferReady, "IMAGENATIVEXFER/GET FAILURE", "PENDINGXFERS/RESET", CloseRequest, "USERINTERFACE/DISABLEDS"},
         0},
        {"event 1 xferready; xfer failure; fail reset; event 1 closedsreq",
         {XferReady, "IMAGENATIVEXFER/GET FAILURE", "PENDINGXFERS/RESET FAILURE", CloseRequest, "PENDINGXFERS/RESET",
          "USERINTERFACE/DISABLEDS"},
         0},
        {"event 1 xferready; xfer done 2 2 8; fail endxfer",
         {XferReady, Done, "PENDINGXFERS/ENDXFER FAILURE", EndTransfer, "USERINTERFACE/DISABLEDS"},
         1},
        {"event 1 closedsreq; event 1 closedsreq; fail disableds",
         {CloseRequest, "USERINTERFACE/DISABLEDS FAILURE", CloseRequest, "USERINTERFACE/DISABLEDS"},
         0},
        {"event 1 closedsreq; fail closeds", {CloseRequest, "USERINTERFACE/DISABLEDS", "IDENTITY/CLOSEDS FAILURE"}, 0},
    };
    for (const auto& c : cases) {
        fake.Run(c.script);
        TWAIN_AcquireImages(0);
        EXPECT_EQ(fake.Log(), Join({Opening, c.middle, {"IDENTITY/CLOSEDS", "PARENT/CLOSEDSM"}})) << c.script;
        EXPECT_EQ(TWAIN_ImageCount(), c.images) << c.script;
        EXPECT_EQ(TWAIN_SessionState(), PreSession) << c.script;
    }
}

TEST_F(TwainTest, RefusedCloseOfTheManagerLeavesItOpenForTheNextAcquisition) {
    fake.Run("event 1 closedsreq; fail closedsm");
    TWAIN_AcquireImages(0);
    EXPECT_EQ(fake.Log().back(), "PARENT/CLOSEDSM FAILURE");
    EXPECT_EQ(TWAIN_SessionState(), ManagerOpen);

    fake.Run("event 1 closedsreq");
    TWAIN_AcquireImages(0);
    EXPECT_EQ(fake.Log(), Join({{"IDENTITY/OPENDS", "USERINTERFACE/ENABLEDS", CloseRequest}, Closing}));
}

TEST_F(TwainTest, ImagesPastTheListsRoomAreReleasedAtOnce) {
    fake.Run("event 1 xferready; xfer done 1 1 24 *1001");
    const TW_HANDLE result = TWAIN_AcquireImages(0);
    ASSERT_EQ(TWAIN_ImageCount(), 999);
    EXPECT_EQ(fake.Number("live"), 999);
    EXPECT_EQ(result, TWAIN_ImageAt(998));
    EXPECT_EQ(TWAIN_ImageAt(998), fake.Handles().at(998));
}

TEST_F(TwainTest, ProxyWindowParentsTheDialogsAndIsClosedToInputMeanwhile) {
    struct TSeen {
        QWidget* proxy = nullptr;
        bool visible = false, enabled = true;
    } seen;
    fake.OnEvent(
        [](void* context) {
            auto& s = *static_cast<TSeen*>(context);
            s.proxy = ProxyWindow();
            if (s.proxy) {
                s.visible = s.proxy->isVisible();
                s.enabled = s.proxy->isEnabled();
            }
        },
        &seen);
    fake.Run("event 1 closedsreq");
    TWAIN_AcquireImages(0);
    ASSERT_NE(seen.proxy, nullptr);
    EXPECT_TRUE(seen.visible);
    EXPECT_FALSE(seen.enabled);
    EXPECT_EQ(fake.Report("parent"), std::to_string(HandleOf(seen.proxy)));
    EXPECT_EQ(fake.Report("hparent"), std::to_string(HandleOf(seen.proxy)));
    EXPECT_EQ(ProxyWindow(), nullptr);
}

TEST_F(TwainTest, GivenWindowIsUsedAndOpenedToInputAgain) {
    QWidget window;
    window.show();
    struct TSeen {
        QWidget* window;
        bool enabled = true;
    } seen{&window};
    fake.OnEvent(
        [](void* context) {
            auto& s = *static_cast<TSeen*>(context);
            s.enabled = s.window->isEnabled();
        },
        &seen);
    fake.Run("event 1 closedsreq");
    TWAIN_AcquireImages(HandleOf(&window));
    EXPECT_FALSE(seen.enabled);
    EXPECT_EQ(fake.Report("parent"), std::to_string(HandleOf(&window)));
    EXPECT_EQ(fake.Report("hparent"), std::to_string(HandleOf(&window)));
    EXPECT_TRUE(window.isEnabled());
    EXPECT_EQ(ProxyWindow(), nullptr);

    // A handle that is no window of the program is refused before anything is loaded.
    fake.Run("");
    QWidget child(&window);
    EXPECT_FALSE(TWAIN_SelectImageSource(HandleOf(&child)));
    EXPECT_EQ(boxes.Shown, Log{"TWAIN Error: TWAIN_SelectImageSource: window handle is invalid"});
    EXPECT_TRUE(fake.Log().empty());
}

TEST_F(TwainTest, QuitRequestEndsTheLoopAndTheSessionClosesDown) {
    EXPECT_EQ(AcquireAndQuitAtTheSecondEvent("event 50 closedsreq"), nullptr);
    EXPECT_EQ(fake.Log(), Join({Opening, {Idle, Idle}, Closing}));
}

TEST_F(TwainTest, ManagerIsLookedForInOrder) {
    const Log system = {"/usr/local/lib/libtwaindsm.so.2", "/usr/lib/x86_64-linux-gnu/libtwaindsm.so.2",
                        "/usr/lib/libtwaindsm.so.2"};
    const Log bridge = {"/opt/corvalux/bin/libcorvalux-twain-sane.so",
                        "/opt/corvalux/lib/corvalux/libcorvalux-twain-sane.so",
                        "/opt/corvalux/lib/x86_64-linux-gnu/corvalux/libcorvalux-twain-sane.so"};
    EXPECT_EQ(ManagerCandidates(nullptr, "/opt/corvalux/bin"), Join({bridge, system}));
    EXPECT_EQ(ManagerCandidates("", "/opt/corvalux/bin"), Join({bridge, system}));
    // A manager set by the user is the only one looked for.
    EXPECT_EQ(ManagerCandidates("/tmp/dsm.so", "/opt/corvalux/bin"), Log{"/tmp/dsm.so"});
    // The program's folder unknown: nothing is looked for relative to the current folder.
    EXPECT_EQ(ManagerCandidates(nullptr, ""), system);
    EXPECT_EQ(ManagerCandidates(nullptr, "bin"), system);
}
