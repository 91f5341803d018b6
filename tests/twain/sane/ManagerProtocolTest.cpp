// The Source Manager spoken to directly, triplet by triplet, as any TWAIN program would:
// the device list, the order of the states, the default source, capabilities and a document
// feeder's batch.
#include <dlfcn.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "twain/sane/DefaultSource.h"
#include "SaneTestSupport.h"
#include "twain/sane/TwainSourceTypes.h"
#include "ScratchFolder.h"

using namespace sanetest;

namespace {
class TManagerLibrary {
public:
    TManagerLibrary() {
        library_ = dlopen(SANE_DSM_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        EXPECT_NE(library_, nullptr) << dlerror();
        entry_ = library_ ? reinterpret_cast<DSMENTRYPROC>(dlsym(library_, "DSM_Entry")) : nullptr;
        free_ = library_ ? reinterpret_cast<DSM_MEMFREE>(dlsym(library_, "DSM_MemFree")) : nullptr;
        app_.ProtocolMajor = 1;
        app_.ProtocolMinor = 9;
        app_.SupportedGroups = DG_CONTROL | DG_IMAGE;
        std::strcpy(app_.ProductName, "protocol test");
    }
    ~TManagerLibrary() {
        if (library_) dlclose(library_);
    }
    TW_UINT16 Call(pTW_IDENTITY destination, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        return entry_ ? entry_(&app_, destination, dg, dat, msg, data) : TWRC_FAILURE;
    }
    TW_UINT16 Manager(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        return Call(nullptr, DG_CONTROL, dat, msg, data);
    }
    // The condition code of the last failure, from the manager or from `source`.
    TW_UINT16 Condition(pTW_IDENTITY source = nullptr) {
        TW_STATUS status{};
        Call(source, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }
    void Open() {
        parent_ = reinterpret_cast<std::uintptr_t>(&window_);
        ASSERT_EQ(Manager(DAT_PARENT, MSG_OPENDSM, &parent_), TWRC_SUCCESS);
    }
    void Free(TW_HANDLE handle) { free_(handle); }
    QWidget window_;

private:
    void* library_ = nullptr;
    DSMENTRYPROC entry_ = nullptr;
    DSM_MEMFREE free_ = nullptr;
    TW_IDENTITY app_{};
    std::uintptr_t parent_ = 0;
};

TW_IDENTITY Named(const char* productName) {
    TW_IDENTITY identity{};
    std::strcpy(identity.ProductName, productName);
    return identity;
}
}  // namespace

class ManagerProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MakeTestBackendConfig(folder)) GTEST_SKIP() << "SANE's test backend is missing";
    }
    TScratchFolder scratch{"corvalux-sane"};
    const std::filesystem::path& folder = scratch.Path();
    TManagerLibrary dsm;
};

TEST_F(ManagerProtocolTest, ListsOneSourcePerDeviceWithUniqueNames) {
    dsm.Open();
    TW_IDENTITY first{}, second{}, third{};
    ASSERT_EQ(dsm.Manager(DAT_IDENTITY, MSG_GETFIRST, &first), TWRC_SUCCESS);
    ASSERT_EQ(dsm.Manager(DAT_IDENTITY, MSG_GETNEXT, &second), TWRC_SUCCESS);
    EXPECT_EQ(dsm.Manager(DAT_IDENTITY, MSG_GETNEXT, &third), TWRC_ENDOFLIST);
    EXPECT_STREQ(first.ProductName, "Noname frontend-tester virtual d");
    EXPECT_STREQ(second.ProductName, "Noname frontend-tester virtua #2");
    EXPECT_STREQ(first.Version.Info, "test:0");
    EXPECT_STREQ(second.Version.Info, "test:1");
    EXPECT_STREQ(first.Manufacturer, "Noname");
    EXPECT_NE(TW_UINT32{first.Id}, TW_UINT32{second.Id});  // packed fields are copied out
    EXPECT_EQ(TW_UINT32{first.SupportedGroups}, DG_CONTROL | DG_IMAGE);
    // Without a default file the first device is the default.
    TW_IDENTITY fallback{};
    ASSERT_EQ(dsm.Manager(DAT_IDENTITY, MSG_GETDEFAULT, &fallback), TWRC_SUCCESS);
    EXPECT_EQ(TW_UINT32{fallback.Id}, TW_UINT32{first.Id});
    EXPECT_EQ(dsm.Manager(DAT_PARENT, MSG_CLOSEDSM, &fallback), TWRC_SUCCESS);
}

TEST_F(ManagerProtocolTest, TripletsOutOfOrderFailWithSequenceError) {
    TW_IDENTITY identity{};
    EXPECT_EQ(dsm.Manager(DAT_IDENTITY, MSG_GETFIRST, &identity), TWRC_FAILURE);
    EXPECT_EQ(dsm.Condition(), TWCC_SEQERROR);
    dsm.Open();
    std::uintptr_t parent = 0;
    EXPECT_EQ(dsm.Manager(DAT_PARENT, MSG_OPENDSM, &parent), TWRC_FAILURE);
    EXPECT_EQ(dsm.Condition(), TWCC_SEQERROR);
    TW_IDENTITY source{};
    ASSERT_EQ(dsm.Manager(DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS) << dsm.Condition();
    EXPECT_STREQ(source.Version.Info, "test:0");

    TW_IDENTITY stranger = source;
    stranger.Id += 1000;
    TW_EVENT event{nullptr, MSG_NULL};
    EXPECT_EQ(dsm.Call(&stranger, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_FAILURE);
    EXPECT_EQ(dsm.Condition(), TWCC_BADDEST);
    // State 4: nothing to process, transfer or end yet.
    TW_HANDLE handle = nullptr;
    TW_PENDINGXFERS pending{};
    TW_USERINTERFACE ui{TW_TRUE, TW_FALSE, nullptr};
    const struct {
        TW_UINT32 dg;
        TW_UINT16 dat, msg;
        void* data;
    } early[] = {{DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event},
                 {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle},
                 {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending},
                 {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending},
                 {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui}};
    for (const auto& t : early) {
        EXPECT_EQ(dsm.Call(&source, t.dg, t.dat, t.msg, t.data), TWRC_FAILURE) << t.dat << "/" << t.msg;
        EXPECT_EQ(dsm.Condition(&source), TWCC_SEQERROR) << t.dat << "/" << t.msg;
    }
    EXPECT_EQ(dsm.Manager(DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_FAILURE);  // a source is open
    EXPECT_EQ(dsm.Condition(), TWCC_SEQERROR);

    ASSERT_EQ(dsm.Call(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_NE(VisibleWindow("SaneSourceDialog"), nullptr);
    EXPECT_EQ(dsm.Call(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE);
    EXPECT_EQ(dsm.Condition(&source), TWCC_SEQERROR);
    EXPECT_EQ(dsm.Call(&source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(dsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_FAILURE);  // still enabled
    EXPECT_EQ(dsm.Condition(), TWCC_SEQERROR);
    EXPECT_EQ(dsm.Call(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_EQ(VisibleWindow("SaneSourceDialog"), nullptr);
    EXPECT_EQ(dsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(dsm.Manager(DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_SUCCESS);
}

TEST_F(ManagerProtocolTest, ZeroIdentityOpensTheDefaultOrTheFirstSource) {
    const struct {
        const char* defaultDevice;  // nullptr: no file
        const char* opened;
    } cases[] = {{nullptr, "test:0"}, {"test:1", "test:1"}, {"gone:7", "test:0"}};
    for (const auto& c : cases) {
        std::filesystem::remove(sanedsm::DefaultSourceFile());
        if (c.defaultDevice) {
            ASSERT_TRUE(sanedsm::WriteDefaultSource(sanedsm::DefaultSourceFile(), c.defaultDevice));
        }
        dsm.Open();
        TW_IDENTITY source{};
        ASSERT_EQ(dsm.Manager(DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
        EXPECT_STREQ(source.Version.Info, c.opened);
        EXPECT_EQ(dsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
        EXPECT_EQ(dsm.Manager(DAT_PARENT, MSG_CLOSEDSM, &source), TWRC_SUCCESS);
    }
    // A name asked for is opened by name; an unknown one is no source.
    dsm.Open();
    TW_IDENTITY byName = Named("Noname frontend-tester virtua #2");
    ASSERT_EQ(dsm.Manager(DAT_IDENTITY, MSG_OPENDS, &byName), TWRC_SUCCESS);
    EXPECT_STREQ(byName.Version.Info, "test:1");
    EXPECT_EQ(dsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &byName), TWRC_SUCCESS);
    TW_IDENTITY unknown = Named("No such scanner");
    EXPECT_EQ(dsm.Manager(DAT_IDENTITY, MSG_OPENDS, &unknown), TWRC_FAILURE);
    EXPECT_EQ(dsm.Condition(), TWCC_NODS);
    EXPECT_EQ(dsm.Manager(DAT_PARENT, MSG_CLOSEDSM, &unknown), TWRC_SUCCESS);
}

TEST_F(ManagerProtocolTest, CapabilitiesAreSetBeforeTheDialogOpens) {
    dsm.Open();
    TW_IDENTITY source{};
    ASSERT_EQ(dsm.Manager(DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    auto oneValue = [&](TW_UINT16 cap, TW_UINT16 msg, TW_UINT16 type, TW_UINT32 item) {
        TW_ONEVALUE* one = static_cast<TW_ONEVALUE*>(std::malloc(sizeof(TW_ONEVALUE)));
        one->ItemType = type;
        one->Item = item;
        TW_CAPABILITY capability{cap, TWON_ONEVALUE, one};
        const TW_UINT16 rc = dsm.Call(&source, DG_CONTROL, DAT_CAPABILITY, msg, &capability);
        TW_UINT32 answer = 0;
        if (capability.hContainer != one) {  // an answer the source allocated
            answer = static_cast<TW_ONEVALUE*>(capability.hContainer)->Item;
            dsm.Free(capability.hContainer);
        }
        std::free(one);
        return std::pair{rc, answer};
    };
    EXPECT_EQ(oneValue(ICAP_PIXELTYPE, MSG_GETCURRENT, 0, 0), (std::pair{TWRC_SUCCESS, TW_UINT32(TWPT_RGB)}));
    EXPECT_EQ(oneValue(ICAP_PIXELTYPE, MSG_SET, TWTY_UINT16, TWPT_GRAY).first, TWRC_SUCCESS);
    const TW_FIX32 dpi300{300, 0};
    TW_UINT32 bits;
    std::memcpy(&bits, &dpi300, 4);
    EXPECT_EQ(oneValue(ICAP_XRESOLUTION, MSG_SET, TWTY_FIX32, bits).first, TWRC_SUCCESS);
    EXPECT_EQ(oneValue(ICAP_YRESOLUTION, MSG_GETCURRENT, 0, 0), (std::pair{TWRC_SUCCESS, bits}));
    EXPECT_EQ(oneValue(ICAP_XFERMECH, MSG_SET, TWTY_UINT16, 1).first, TWRC_FAILURE);  // native only
    EXPECT_EQ(dsm.Condition(&source), TWCC_BADVALUE);

    TW_USERINTERFACE ui{TW_TRUE, TW_FALSE, &dsm.window_};
    ASSERT_EQ(dsm.Call(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    QWidget* dialog = VisibleWindow("SaneSourceDialog");
    EXPECT_EQ(Child<QComboBox>(dialog, "ModeCombo")->currentText(), "Grey");
    EXPECT_EQ(Child<QComboBox>(dialog, "ResolutionCombo")->currentData().toInt(), 300);
    EXPECT_EQ(oneValue(ICAP_PIXELTYPE, MSG_SET, TWTY_UINT16, TWPT_RGB).first, TWRC_FAILURE);
    EXPECT_EQ(dsm.Condition(&source), TWCC_SEQERROR);
    EXPECT_EQ(dsm.Call(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_EQ(dsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(dsm.Manager(DAT_PARENT, MSG_CLOSEDSM, &source), TWRC_SUCCESS);
}

TEST_F(ManagerProtocolTest, FeederScansPageAfterPageUntilItIsEmptyOrTheCountIsReached) {
    const struct {
        int transferCount;
        std::vector<int> counts;  // after each MSG_ENDXFER
    } cases[] = {{3, {2, 1, 0}}, {-1, std::vector<int>(9, 0xFFFF)}};
    for (const auto& c : cases) {
        dsm.Open();
        TW_IDENTITY source{};
        ASSERT_EQ(dsm.Manager(DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
        TW_ONEVALUE* one = static_cast<TW_ONEVALUE*>(std::malloc(sizeof(TW_ONEVALUE)));
        *one = {TWTY_INT16, TW_UINT32(TW_UINT16(TW_INT16(c.transferCount)))};
        TW_CAPABILITY count{CAP_XFERCOUNT, TWON_ONEVALUE, one};
        EXPECT_EQ(dsm.Call(&source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &count), TWRC_SUCCESS);
        std::free(one);
        TW_USERINTERFACE ui{TW_TRUE, TW_FALSE, &dsm.window_};
        ASSERT_EQ(dsm.Call(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
        QWidget* dialog = VisibleWindow("SaneSourceDialog");
        auto* paper = Child<QComboBox>(dialog, "SourceCombo");
        ASSERT_GE(paper->findText("Automatic Document Feeder"), 0);
        paper->setCurrentText("Automatic Document Feeder");
        Child<QComboBox>(dialog, "ResolutionCombo")->setCurrentIndex(0);
        QTest::mouseClick(Child<QPushButton>(dialog, "ScanButton"), Qt::LeftButton);

        TW_EVENT event{nullptr, MSG_NULL};
        for (int i = 0; i < 3000 && event.TWMessage != MSG_XFERREADY; ++i) {
            QTest::qWait(10);
            dsm.Call(&source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
        }
        ASSERT_EQ(event.TWMessage, MSG_XFERREADY);
        std::vector<int> counts;
        TW_PENDINGXFERS pending{};
        do {
            TW_HANDLE handle = nullptr;
            ASSERT_EQ(dsm.Call(&source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
            dsm.Free(handle);
            ASSERT_EQ(dsm.Call(&source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
            counts.push_back(pending.Count);
        } while (pending.Count != 0 && counts.size() < 20);
        if (c.transferCount < 0) {
            // The test backend's feeder holds 10 pages: 9 with more to come, then empty.
            ASSERT_EQ(counts.size(), 10u);
            counts.pop_back();
        }
        EXPECT_EQ(counts, c.counts);
        EXPECT_EQ(dsm.Call(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
        EXPECT_EQ(dsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
        EXPECT_EQ(dsm.Manager(DAT_PARENT, MSG_CLOSEDSM, &source), TWRC_SUCCESS);
    }
}
