// TVideo over the fake capture backend: properties, the messages it sends, its errors, fitting,
// snapshots and callbacks.
#include <QImage>
#include <fstream>
#include <iterator>

#include "capture/CaptureErrors.h"
#include "CaptureFixture.h"
#include "capture/CaptureWindow.h"
#include "image/Dib.h"
#include "image/PictureFile.h"
#include "capture/Video.h"

namespace {
class VideoTest : public CaptureTest {
protected:
    void SetUp() override {
        CaptureTest::SetUp();
        video = std::make_unique<TVideo>();
        video->setObjectName(QStringLiteral("VideoSource"));
        video->OnStatus = [this](TVideo* sender) {
            EXPECT_EQ(sender, video.get());
            ++statusNotes;
        };
    }
    void TearDown() override {
        video.reset();
        CaptureTest::TearDown();
    }
    TCaptureWindow* Window() { return TCaptureWindow::FromHandle(video->CaptureWindow()); }

    std::unique_ptr<TVideo> video;
    int statusNotes = 0;
};

// Runs `action`, which must throw E, and answers its message.
template <typename E, typename F>
std::string MessageOf(F action) {
    try {
        action();
    } catch (const E& error) {
        return error.what();
    }
    return "(nothing thrown)";
}
}  // namespace

// Building the control touches no camera: a device opens only when a driver is chosen.
TEST_F(VideoTest, ConstructingOpensNoDevice) {
    EXPECT_FALSE(video->DriverOpen());
    EXPECT_TRUE(Calls().empty());
}

TEST_F(VideoTest, FrameRateAndPeriodWriteEachOther) {
    video->SetFrameRate(0);
    EXPECT_EQ(video->MicroSecPerFrame(), 100000u);
    video->SetFrameRate(60);  // the 33333 floor is for writing the period only
    EXPECT_EQ(video->MicroSecPerFrame(), 16667u);
    EXPECT_EQ(video->FrameRate(), 60);
    video->SetMicroSecPerFrame(1000);
    EXPECT_EQ(video->MicroSecPerFrame(), 33333u);
    EXPECT_EQ(video->FrameRate(), 30);
    video->SetCapIndexSize(5);
    EXPECT_EQ(video->CapIndexSize(), 1800u);
    video->SetCapIndexSize(1000000);
    EXPECT_EQ(video->CapIndexSize(), 324000u);
    video->SetCapIndexSize(0);
    EXPECT_EQ(video->CapIndexSize(), 0u);
    EXPECT_TRUE(Calls().empty());  // stored settings only
}

TEST_F(VideoTest, PreviewRateIsClampedAndSentWhileOpen) {
    video->SetPreviewRate(0);
    EXPECT_EQ(video->PreviewRate(), 1);
    EXPECT_TRUE(Calls().empty());
    video->SetDriverIndex(0);
    video->SetDriverOpen(true);
    EXPECT_EQ(Window()->PreviewInterval(), 1000);
    Calls();
    video->SetPreviewRate(45);
    EXPECT_EQ(video->PreviewRate(), 30);
    video->SetPreviewRate(45);  // compared before clamping: sent again
    EXPECT_EQ(Calls(), (std::vector<std::string>{"WM_CAP_SET_PREVIEWRATE(33, 0)", "WM_CAP_SET_PREVIEWRATE(33, 0)"}));
    EXPECT_EQ(Window()->PreviewInterval(), 33);
    video->SetPreviewRate(30);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(VideoTest, ConnectDriverSendsTheMessagesInOrder) {
    video->SetOnStatusCallback([](TVideo*, int, const std::string&) {});
    video->SetOnAudioStream([](TVideo*, vfw::WAVEHDR*) {});
    video->resize(320, 240);
    video->SetDriverIndex(2);
    EXPECT_EQ(video->DriverName(), "Cam B");
    EXPECT_TRUE(Calls().empty());  // choosing does not connect
    ASSERT_TRUE(video->ConnectDriver());
    EXPECT_EQ(Calls(), (std::vector<std::string>{
                           "capCreateCaptureWindowA(VideoSource, 0, 0, 320, 240, 5001)", "WM_CAP_SET_USER_DATA(0, ptr)",
                           "WM_CAP_SET_CALLBACK_STATUSA(0, ptr)", "WM_CAP_SET_CALLBACK_WAVESTREAM(0, ptr)",
                           "WM_CAP_DRIVER_CONNECT(2, 0)", "WM_CAP_SET_SCALE(0, 0)", "WM_CAP_SET_PREVIEWRATE(33, 0)",
                           "WM_CAP_GET_STATUS(76, ptr)",
                           "MoveWindow(0, 0, 160, 120)",  // unscaled: the image's own size
                       }));
    EXPECT_EQ(statusNotes, 1);
    EXPECT_EQ(backend->ConnectedIndex(), 2);
    EXPECT_TRUE(video->ConnectDriver());  // already open: nothing more
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(Window()->parentWidget(), video.get());

    video->SetDriverOpen(false);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"WM_CAP_DRIVER_DISCONNECT(0, 0)", "DestroyWindow"}));
    EXPECT_EQ(video->CaptureWindow(), nullptr);
    EXPECT_EQ(backend->ConnectedIndex(), -1);
    EXPECT_EQ(statusNotes, 1);  // disconnecting does not notify
}

TEST_F(VideoTest, ChoosingDriversByIndex) {
    video->SetDriverIndex(3);  // nothing installed there
    EXPECT_EQ(video->DriverIndex(), -1);
    EXPECT_EQ(video->DriverName(), "");

    video->SetDriverIndex(0);
    video->SetVideoPreview(true);
    video->SetDriverIndex(0);  // the same index again: stays connected
    EXPECT_TRUE(video->DriverOpen());
    EXPECT_EQ(backend->Connections, 1);

    video->SetDriverIndex(2);  // another driver: disconnected, not reconnected
    EXPECT_FALSE(video->DriverOpen());
    EXPECT_EQ(video->DriverName(), "Cam B");
    EXPECT_EQ(backend->ConnectedIndex(), -1);

    // Below -1 the index is kept with the old name, and the connection fails.
    video->SetDriverIndex(-5);
    EXPECT_EQ(video->DriverIndex(), -5);
    EXPECT_EQ(video->DriverName(), "Cam B");
    EXPECT_EQ(MessageOf<ENotConnectException>([&] { video->ConnectDriver(); }),
              "Can not connect capture driver with capture window");
    EXPECT_EQ(video->CaptureWindow(), nullptr);
}

TEST_F(VideoTest, ChoosingDriversByName) {
    const struct {
        const char* name;
        int index;
        const char* stored;
    } cases[] = {
        {"Cam B", 2, "Cam B"},
        {"Cam A", 0, "Cam A"},
        {"Cam B uvcvideo 6.1.0", -1, ""},  // the name part only, never with the version
        {"cam a", -1, ""},                 // exact comparison
        {"Cam A", 0, "Cam A"},
        {"Nothing", -1, ""},
    };
    for (const auto& c : cases) {
        video->SetDriverName(c.name);
        EXPECT_EQ(video->DriverIndex(), c.index) << c.name;
        EXPECT_EQ(video->DriverName(), c.stored) << c.name;
    }
}

TEST_F(VideoTest, PreviewWhileClosed) {
    video->SetDriverIndex(0);
    video->SetVideoPreview(false);  // already off: nothing happens
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(statusNotes, 0);

    video->SetVideoPreview(true);  // opens the driver first
    const std::vector<std::string> calls = Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front().rfind("capCreateCaptureWindowA", 0), 0u);
    EXPECT_EQ(calls[calls.size() - 2], "WM_CAP_SET_PREVIEW(1, 0)");
    EXPECT_EQ(calls.back(), "WM_CAP_GET_STATUS(76, ptr)");
    EXPECT_TRUE(video->VideoPreview());
    EXPECT_TRUE(Window()->Previewing());
    EXPECT_EQ(statusNotes, 2);  // after connecting and after the switch

    video->SetVideoPreview(false);
    EXPECT_FALSE(video->VideoPreview());
    EXPECT_TRUE(video->DriverOpen());
}

TEST_F(VideoTest, ConnectionFailuresRaiseAfterNotifying) {
    EXPECT_EQ(MessageOf<ENoDriverException>([&] { video->SetVideoPreview(true); }), "No capture driver selected");
    EXPECT_EQ(statusNotes, 1);
    EXPECT_TRUE(Calls().empty());

    backend->RefuseWindows = true;
    video->SetDriverIndex(0);
    EXPECT_EQ(MessageOf<ENoCapWindowException>([&] { video->SetDriverOpen(true); }), "Can not create capture window");
    EXPECT_EQ(statusNotes, 2);

    backend->RefuseWindows = false;
    backend->FailingConnects = {0};
    std::vector<std::string> statusTexts;
    video->SetOnStatusCallback([&](TVideo*, int, const std::string& text) { statusTexts.push_back(text); });
    Calls();
    EXPECT_EQ(MessageOf<ENotConnectException>([&] { video->ConnectDriver(); }),
              "Can not connect capture driver with capture window");
    EXPECT_EQ(statusNotes, 3);
    EXPECT_EQ(statusTexts, (std::vector<std::string>{"cannot open driver 0"}));
    EXPECT_EQ(video->CaptureWindow(), nullptr);
    EXPECT_EQ(video->DriverIndex(), 0);
    EXPECT_EQ(video->DriverName(), "Cam A");
    const std::vector<std::string> calls = Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "WM_CAP_DRIVER_DISCONNECT(0, 0)");
    EXPECT_EQ(calls.back(), "DestroyWindow");
}

TEST_F(VideoTest, ThereIsNoOverlay) {
    EXPECT_EQ(MessageOf<ENoOverlayException>([&] { video->SetVideoOverlay(true); }), "Driver has no overlay mode");
    video->SetDriverIndex(0);
    Calls();
    // The capability query opens the driver briefly and closes it again; the record stays.
    EXPECT_TRUE(video->QueryDriverCaps());
    const std::vector<std::string> calls = Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "WM_CAP_DRIVER_GET_CAPS(44, ptr)"), calls.end());
    EXPECT_EQ(calls.back(), "DestroyWindow");
    EXPECT_FALSE(video->DriverOpen());
    EXPECT_FALSE(video->DriverHasOverlay());
    EXPECT_TRUE(Calls().empty());  // answered from the kept record
    EXPECT_EQ(MessageOf<ENoOverlayException>([&] { video->SetVideoOverlay(true); }), "Driver has no overlay mode");
    video->SetVideoOverlay(false);  // already off
}

TEST_F(VideoTest, ProportionalFitting) {
    const struct {
        int driver, controlWidth, controlHeight;
        QSize expected;
    } cases[] = {{0, 320, 240, {320, 240}}, {2, 320, 200, {267, 200}}, {0, 200, 300, {200, 150}}};
    video->SetPreviewScaleToWindow(true);
    video->SetPreviewScaleProportional(true);
    video->show();  // hidden widgets get their resize events only when shown
    for (const auto& c : cases) {
        video->resize(c.controlWidth, c.controlHeight);
        video->SetDriverIndex(c.driver);
        video->SetDriverOpen(true);
        EXPECT_EQ(Window()->geometry(), QRect(QPoint(0, 0), c.expected)) << c.driver;
        EXPECT_EQ(Calls().back(), "MoveWindow(0, 0, " + std::to_string(c.expected.width()) + ", " +
                                      std::to_string(c.expected.height()) + ")");
    }
    video->resize(640, 240);  // a resize refits
    EXPECT_EQ(Window()->geometry(), QRect(0, 0, 320, 240));
    video->SetPreviewScaleProportional(false);
    EXPECT_EQ(Window()->geometry(), QRect(0, 0, 640, 240));
    video->SetPreviewScaleToWindow(false);
    EXPECT_EQ(Window()->geometry(), QRect(0, 0, 640, 480));
}

TEST_F(VideoTest, PreviewShowsTheLatestFrameScaled) {
    video->resize(320, 240);
    video->SetPreviewScaleToWindow(true);
    video->SetPreviewScaleProportional(true);
    video->SetDriverIndex(0);
    video->SetVideoPreview(true);
    EXPECT_TRUE(Window()->ShownFrame().Empty());  // black until a frame comes
    backend->Pump(3);
    Window()->PreviewTick();
    EXPECT_EQ(FakeFrameNumber(Window()->ShownFrame()), 2u);
    const QImage shown = Window()->grab().toImage();
    ASSERT_EQ(shown.size(), QSize(320, 240));
    EXPECT_EQ(QColor(shown.pixel(30, 120)), QColor(255, 255, 255));  // first bar, scaled by half
    EXPECT_EQ(QColor(shown.pixel(290, 120)), QColor(0, 0, 0));       // last bar
    EXPECT_EQ(QColor(shown.pixel(210, 120)), QColor(255, 0, 0));     // sixth bar, red
}

TEST_F(VideoTest, SaveSingleImageWritesTheHeldFrameBottomUp) {
    const std::string path = (folder / "snap.bmp").string();
    video->SingleImageFile = path;
    EXPECT_FALSE(video->SaveSingleImage());  // no capture window
    backend->Drivers[1] = FakeCaptureBackend::Driver{"Odd", "fake 1.0.0", 5, 3};
    video->SetDriverIndex(1);
    video->SetDriverOpen(true);
    EXPECT_FALSE(video->SaveSingleImage());  // no frame yet
    EXPECT_FALSE(std::filesystem::exists(path));

    backend->Pump(2);
    Calls();
    ASSERT_TRUE(video->SaveSingleImage());
    EXPECT_EQ(Calls(), (std::vector<std::string>{"WM_CAP_FILE_SAVEDIBA(0, \"" + path + "\")"}));
    const std::vector<std::uint8_t> file = ReadWholeFile(path);
    // 5 pixels of 3 bytes pad to 16 a row; the bottom row comes first.
    ASSERT_EQ(file.size(), 54u + 3 * 16);
    const Bitmap& frame = Window()->HeldFrame();
    EXPECT_EQ(FakeFrameNumber(frame), 1u);
    for (int row = 0; row < 3; ++row) {
        const std::uint8_t* stored = file.data() + 54 + row * 16;
        EXPECT_TRUE(std::equal(stored, stored + 15, frame.Row(2 - row))) << row;
        EXPECT_EQ(stored[15], 0) << row;
    }
    EXPECT_EQ(DecodeBmpFile(file.data(), file.size()), frame);
}

TEST_F(VideoTest, UnsavableNamesAreRefused) {
    video->SetDriverIndex(0);
    video->SetDriverOpen(true);
    backend->Pump();
    Calls();
    // Longer than the library's 264-byte buffer holds: refused, not cut to another name.
    video->SingleImageFile = (folder / std::string(300, 'a')).string();
    EXPECT_FALSE(video->SaveSingleImage());
    video->SingleImageFile = (folder / "a").string() + std::string(1, '\0') + "b.bmp";
    EXPECT_FALSE(video->SaveSingleImage());
    EXPECT_TRUE(Calls().empty());

    // A save that fails says so and leaves no stray files (here the name is a folder's).
    std::filesystem::create_directory(folder / "taken.bmp");
    video->SingleImageFile = (folder / "taken.bmp").string();
    EXPECT_FALSE(video->SaveSingleImage());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(VideoTest, GrabHoldsTheNextFrame) {
    EXPECT_FALSE(video->GrabSingleFrame());
    video->SetDriverIndex(0);
    video->SetVideoPreview(true);
    backend->Pump(2);
    ASSERT_TRUE(video->GrabSingleFrame());
    EXPECT_EQ(FakeFrameNumber(Window()->HeldFrame()), 2u);
    EXPECT_FALSE(video->VideoPreview());  // preview stops so that the frame stays
    backend->Pump(2);
    EXPECT_EQ(FakeFrameNumber(Window()->HeldFrame()), 2u);
    video->SetVideoPreview(true);
    backend->Pump();
    EXPECT_EQ(FakeFrameNumber(Window()->HeldFrame()), 5u);
}

TEST_F(VideoTest, CallbacksReachTheHandlers) {
    std::vector<std::string> statusTexts;
    std::vector<unsigned> frames;
    video->SetOnStatusCallback([&](TVideo* sender, int id, const std::string& text) {
        EXPECT_EQ(sender, video.get());
        EXPECT_EQ(id, vfw::CaptureStatusDeviceFailed);
        statusTexts.push_back(text);
    });
    video->SetDriverIndex(2);
    video->SetVideoPreview(true);
    // Assigned while open: registered at once.
    Calls();
    video->SetOnVideoStream([&](TVideo* sender, vfw::VIDEOHDR* header) {
        EXPECT_EQ(sender, video.get());
        EXPECT_EQ(header->dwBytesUsed, 160u * 120 * 3);
        frames.push_back(unsigned(header->lpData[0]));
    });
    EXPECT_EQ(Calls(), (std::vector<std::string>{"WM_CAP_SET_CALLBACK_VIDEOSTREAM(0, ptr)"}));
    backend->Pump(2);
    EXPECT_EQ(frames, (std::vector<unsigned>{0, 1}));
    // Each callback looks the control up in the capture window.
    EXPECT_EQ(Calls(), (std::vector<std::string>(2, "WM_CAP_GET_USER_DATA(0, 0)")));

    video->SetOnVideoStream(nullptr);  // cleared: unregistered
    EXPECT_EQ(Calls(), (std::vector<std::string>{"WM_CAP_SET_CALLBACK_VIDEOSTREAM(0, 0)"}));
    backend->Pump();
    EXPECT_EQ(frames.size(), 2u);

    backend->FailGrab = true;
    EXPECT_FALSE(video->GrabSingleFrame());
    EXPECT_EQ(statusTexts, (std::vector<std::string>{"grab refused"}));
}

TEST_F(VideoTest, ListsTenDrivers) {
    EXPECT_EQ(ListCaptureDrivers(),
              (std::vector<std::string>{"Cam A fake 1.0.0", "", "Cam B uvcvideo 6.1.0", "", "", "", "", "", "", ""}));
}

TEST_F(VideoTest, DestructionDisconnects) {
    video->SetDriverIndex(0);
    video->SetVideoPreview(true);
    video.reset();
    EXPECT_EQ(backend->ConnectedIndex(), -1);
    EXPECT_EQ(vfw::SendMessage(nullptr, vfw::WM_CAP_GET_STATUS, 0, 0), 0);
}
