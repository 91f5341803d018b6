// The capture core without Qt: the control's number rules, the device numbering and
// descriptions, the frame copy, and the fake frames.
#include <gtest/gtest.h>

#include <cstring>

#include "capture/FakeCaptureBackend.h"
#include "capture/V4l2Devices.h"
#include "capture/VideoArithmetic.h"

TEST(VideoArithmetic, FrameRatesAndPeriodsRoundInExtendedPrecision) {
    const struct {
        std::uint32_t period;
        std::uint16_t rate;
    } reads[] = {{66667, 15},
                 {33333, 30},
                 {16667, 60},
                 {0, 0},
                 {1000000, 1},
                 {100000, 10},
                 // A period shorter than 1/65535 s has a rate that a 16-bit value cannot hold.
                 {15, 65535}};
    for (const auto& r : reads) EXPECT_EQ(FrameRateOf(r.period), r.rate) << r.period;

    const struct {
        std::uint16_t rate;
        std::uint32_t period;
    } writes[] = {{15, 66667}, {0, 100000}, {60, 16667}, {30, 33333}, {1, 1000000}, {65535, 15}};
    for (const auto& w : writes) EXPECT_EQ(MicroSecPerFrameOf(w.rate), w.period) << w.rate;
}

TEST(VideoArithmetic, SettingsAreClamped) {
    EXPECT_EQ(ClampMicroSecPerFrame(1000), 33333u);
    EXPECT_EQ(ClampMicroSecPerFrame(33334), 33334u);
    EXPECT_EQ(ClampMicroSecPerFrame(4000000000u), 4000000000u);

    const std::uint32_t sizes[][2] = {{0, 0},       {1, 1800},        {5, 1800},        {1800, 1800},
                                      {2000, 2000}, {324000, 324000}, {1000000, 324000}};
    for (const auto& s : sizes) EXPECT_EQ(ClampCapIndexSize(s[0]), s[1]) << s[0];

    const std::uint16_t rates[][3] = {// rate, stored, milliseconds sent
                                      {0, 1, 1000},
                                      {1, 1, 1000},
                                      {15, 15, 67},
                                      {30, 30, 33},
                                      {45, 30, 33}};
    for (const auto& r : rates) {
        EXPECT_EQ(ClampPreviewRate(r[0]), r[1]) << r[0];
        EXPECT_EQ(PreviewMilliseconds(ClampPreviewRate(r[0])), r[2]) << r[0];
    }
}

TEST(VideoArithmetic, CaptureWindowFitsTheControl) {
    using enum PreviewScale;
    using enum PreviewAspect;
    const struct {
        int iw, ih, cw, ch;
        PreviewScale scale;
        PreviewAspect aspect;
        TCaptureSize expected;
    } cases[] = {
        {640, 480, 320, 240, Unscaled, Proportional, {640, 480}},
        {640, 480, 320, 200, ToWindow, Free, {320, 200}},
        {640, 480, 320, 240, ToWindow, Proportional, {320, 240}},  // equal shapes: full width
        {160, 120, 320, 200, ToWindow, Proportional, {267, 200}},  // wider control: full height
        {480, 640, 320, 240, ToWindow, Proportional, {180, 240}},
        {640, 360, 320, 240, ToWindow, Proportional, {320, 180}},
        // Without an image (no status yet) or without a control height: fill the control.
        {0, 0, 320, 240, ToWindow, Proportional, {320, 240}},
        {640, 480, 320, 0, ToWindow, Proportional, {320, 0}},
        {0, 0, 320, 240, Unscaled, Free, {0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitCaptureSize(c.iw, c.ih, c.cw, c.ch, c.scale, c.aspect), c.expected)
            << c.iw << "x" << c.ih << " in " << c.cw << "x" << c.ch;
}

namespace {
v4l2_capability Caps(const char* driver, const char* card, std::uint32_t version, std::uint32_t capabilities,
                     std::uint32_t deviceCaps = 0) {
    v4l2_capability caps{};
    std::strncpy(reinterpret_cast<char*>(caps.driver), driver, sizeof caps.driver);
    std::strncpy(reinterpret_cast<char*>(caps.card), card, sizeof caps.card);
    caps.version = version;
    caps.capabilities = capabilities;
    caps.device_caps = deviceCaps;
    return caps;
}
constexpr std::uint32_t Capture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
}  // namespace

TEST(V4l2Devices, OnlyStreamingCaptureNodesAreDrivers) {
    // A UVC camera shows as a capture node and a metadata node; the node's own caps count.
    EXPECT_EQ(NodeCaps(Caps("uvcvideo", "Cam", 0, Capture | V4L2_CAP_META_CAPTURE | V4L2_CAP_DEVICE_CAPS,
                            V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING)),
              std::uint32_t(V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING));
    EXPECT_EQ(NodeCaps(Caps("old", "Cam", 0, Capture)), Capture);
    EXPECT_TRUE(IsCaptureNode(Capture | V4L2_CAP_READWRITE));
    EXPECT_FALSE(IsCaptureNode(V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE));  // no streaming
    EXPECT_FALSE(IsCaptureNode(V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING));
    EXPECT_FALSE(IsCaptureNode(V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING));

    std::array<std::optional<std::uint32_t>, V4l2NodeCount> nodes;
    nodes[0] = Capture;
    nodes[1] = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    nodes[3] = Capture;  // node 2 missing or unreadable
    nodes[4] = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING;
    nodes[9] = Capture;
    EXPECT_EQ(CaptureNodeNumbers(nodes), (std::vector<int>{0, 3, 9}));
}

TEST(V4l2Devices, DescriptionIsCardThenDriverAndVersion) {
    EXPECT_EQ(DescribeDriver(Caps("uvcvideo", "HD Webcam C270", 0x06010C, Capture)),
              (TDriverDescription{"HD Webcam C270", "uvcvideo 6.1.12"}));
    // Fields filled to the last byte carry no terminating zero.
    const std::string full32(32, 'x');
    v4l2_capability caps = Caps("d", "", 0x010203, Capture);
    std::memcpy(caps.card, full32.data(), 32);
    std::memcpy(caps.driver, full32.data(), 16);
    EXPECT_EQ(DescribeDriver(caps), (TDriverDescription{full32, std::string(16, 'x') + " 1.2.3"}));
}

TEST(V4l2Devices, FrameRowsLoseTheirPadding) {
    // 2 x 3 pixels, rows 8 bytes apart (2 bytes of padding).
    std::vector<std::uint8_t> buffer(8 * 3, 0xEE);
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 6; ++i) buffer[std::size_t(y * 8 + i)] = std::uint8_t(y * 10 + i);
    Bitmap frame;
    // The last row needs no padding after it.
    ASSERT_TRUE(CopyBgrFrame(buffer.data(), 8 * 2 + 6, 2, 3, 8, frame));
    ASSERT_EQ(frame.Width(), 2);
    ASSERT_EQ(frame.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 6; ++i) EXPECT_EQ(frame.Row(y)[i], y * 10 + i);

    const Bitmap before = frame;
    EXPECT_FALSE(CopyBgrFrame(buffer.data(), 8 * 2 + 5, 2, 3, 8, frame));      // one byte short
    EXPECT_FALSE(CopyBgrFrame(buffer.data(), buffer.size(), 2, 3, 5, frame));  // rows overlap
    EXPECT_FALSE(CopyBgrFrame(buffer.data(), buffer.size(), 0, 3, 8, frame));
    EXPECT_FALSE(CopyBgrFrame(nullptr, buffer.size(), 2, 3, 8, frame));
    EXPECT_EQ(frame, before);
}

TEST(FakeCaptureBackend, FramesAreBarsNumberedInTheFirstPixel) {
    const Bitmap frame = FakeFrame(16, 4, 0x123456);
    EXPECT_EQ(FakeFrameNumber(frame), 0x123456u);
    EXPECT_EQ(frame.GetColor(1, 3), PackColor(255, 255, 255));
    EXPECT_EQ(frame.GetColor(2, 0), PackColor(255, 255, 0));
    EXPECT_EQ(frame.GetColor(10, 2), PackColor(255, 0, 0));
    EXPECT_EQ(frame.GetColor(15, 1), PackColor(0, 0, 0));
}
