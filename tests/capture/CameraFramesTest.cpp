// The camera list across PipeWire and Video4Linux2, and frames of every offered format turned
// into pictures.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "capture/CameraList.h"
#include "capture/FrameConversion.h"
#include "image/Jpeg.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

TPipeWireNode Node(std::uint32_t id, const std::string& description, const std::string& path = "") {
    return {id, std::to_string(id), "node" + std::to_string(id), description, path};
}

std::vector<std::string> Listed(const std::vector<TCamera>& cameras) {
    std::vector<std::string> lines;
    for (const TCamera& c : cameras) lines.push_back(std::string(CameraKindName(c.Kind)) + " " + c.Description.Name);
    return lines;
}

// A 4 x 4 frame of 2 x 2 blocks, red | blue over white | black, so that flips, swaps and
// chroma planes out of place all show. Limited-range BT.601 samples of the same colours.
struct Yuv {
    std::uint8_t Y, U, V;
};
const Yuv BlockYuv[4] = {{81, 90, 240}, {41, 240, 110}, {235, 128, 128}, {16, 128, 128}};
const PackedColor BlockColor[4] = {PackColor(255, 0, 0), PackColor(0, 0, 255), PackColor(255, 255, 255),
                                   PackColor(0, 0, 0)};
int BlockOf(int x, int y) { return (y / 2) * 2 + x / 2; }

// YUY2 or UYVY (packed pairs), or NV12 (luma, then interleaved chroma of 2 x 2 blocks).
Bytes YuvFrame(CameraPixelFormat format) {
    Bytes bytes;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; x += 2) {
            const Yuv s = BlockYuv[BlockOf(x, y)];
            const Bytes pair = format == CameraPixelFormat::NV12   ? Bytes{s.Y, s.Y}
                               : format == CameraPixelFormat::YUY2 ? Bytes{s.Y, s.U, s.Y, s.V}
                                                                   : Bytes{s.U, s.Y, s.V, s.Y};
            bytes.insert(bytes.end(), pair.begin(), pair.end());
        }
    if (format == CameraPixelFormat::NV12)
        for (int block = 0; block < 4; ++block) bytes.insert(bytes.end(), {BlockYuv[block].U, BlockYuv[block].V});
    return bytes;
}

// Packed RGB in the byte order `order` names ('x' and 'A' are 255), rows `stride` apart.
Bytes PackedRgb(const std::string& order, int stride) {
    Bytes bytes(std::size_t(stride) * 4, 0xEE);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            for (std::size_t i = 0; i < order.size(); ++i) {
                const PackedColor c = BlockColor[BlockOf(x, y)];
                const char k = order[i];
                bytes[std::size_t(y * stride) + std::size_t(x) * order.size() + i] = k == 'R'   ? RedOf(c)
                                                                                     : k == 'G' ? GreenOf(c)
                                                                                     : k == 'B' ? BlueOf(c)
                                                                                                : 255;
            }
    return bytes;
}

bool Near(PackedColor a, PackedColor b, int tolerance) {
    return std::abs(RedOf(a) - RedOf(b)) <= tolerance && std::abs(GreenOf(a) - GreenOf(b)) <= tolerance &&
           std::abs(BlueOf(a) - BlueOf(b)) <= tolerance;
}
}  // namespace

TEST(CameraList, PipeWireFirstThenTheV4l2DevicesItDoesNotOffer) {
    const std::vector<TV4l2Driver> v4l2 = {{0, {"UVC Camera", "uvcvideo 6.1.0"}}, {2, {"Other", "uvcvideo 6.1.0"}}};
    const struct {
        const char* name;
        std::vector<TPipeWireNode> nodes;
        std::vector<TV4l2Driver> drivers;
        std::vector<std::string> listed;
    } cases[] = {
        {"no PipeWire", {}, v4l2, {"v4l2 UVC Camera", "v4l2 Other"}},
        {"a virtual camera", {Node(45, "Virtual")}, v4l2, {"pipewire Virtual", "v4l2 UVC Camera", "v4l2 Other"}},
        {"video0 through PipeWire",
         {Node(45, "UVC Camera (V4L2)", "v4l2:/dev/video0")},
         v4l2,
         {"pipewire UVC Camera (V4L2)", "v4l2 Other"}},
        {"another device's path",
         {Node(45, "X", "v4l2:/dev/video1")},
         v4l2,
         {"pipewire X", "v4l2 UVC Camera", "v4l2 Other"}},
    };
    for (const auto& c : cases) {
        const std::vector<TCamera> cameras = MergeCameras(c.nodes, c.drivers, "0.3.65");
        EXPECT_EQ(Listed(cameras), c.listed) << c.name;
        for (const TCamera& camera : cameras)
            EXPECT_EQ(camera.Description.Version,
                      camera.Kind == CameraKind::PipeWire ? "pipewire 0.3.65" : "uvcvideo 6.1.0");
    }
    // The capture library numbers ten drivers.
    EXPECT_EQ(MergeCameras(std::vector<TPipeWireNode>(11, Node(1, "Cam")), v4l2, "").size(), 10u);
}

TEST(CameraList, ANamePicksByDescriptionThenNodeName) {
    const std::vector<TCamera> cameras =
        MergeCameras({Node(7, "Front"), Node(8, "node7")}, {{1, {"USB", "uvcvideo 6.1.0"}}}, "0.3.65");
    // A description wins over another camera's node name.
    const struct {
        const char *name, *found;
    } cases[] = {{"", "Front"}, {"USB", "USB"}, {"node8", "node7"}, {"node7", "node7"}, {"Back", "none"}};
    for (const auto& c : cases) {
        const TCamera* camera = FindCamera(cameras, c.name);
        EXPECT_EQ(camera ? camera->Description.Name : "none", c.found) << c.name;
    }
    EXPECT_EQ(FindCamera({}, ""), nullptr);
}

TEST(FrameConversion, EveryOfferedFormatBecomesThePicture) {
    const Bytes yuy2 = YuvFrame(CameraPixelFormat::YUY2), nv12 = YuvFrame(CameraPixelFormat::NV12);
    const struct {
        const char* name;
        CameraPixelFormat format;
        Bytes bytes;
        int stride;
        bool split;  // NV12 as two planes instead of one block
    } cases[] = {
        {"YUY2", CameraPixelFormat::YUY2, yuy2, 0, false},
        {"UYVY", CameraPixelFormat::UYVY, YuvFrame(CameraPixelFormat::UYVY), 8, false},
        {"NV12 in one block", CameraPixelFormat::NV12, nv12, 4, false},
        {"NV12 in two planes", CameraPixelFormat::NV12, nv12, 4, true},
        {"RGB", CameraPixelFormat::RGB, PackedRgb("RGB", 12), 12, false},
        {"BGR with padded rows", CameraPixelFormat::BGR, PackedRgb("BGR", 16), 16, false},
        {"RGBx", CameraPixelFormat::RGBx, PackedRgb("RGBx", 16), 16, false},
        {"BGRx", CameraPixelFormat::BGRx, PackedRgb("BGRx", 16), 16, false},
        {"RGBA", CameraPixelFormat::RGBA, PackedRgb("RGBA", 16), 16, false},
        {"BGRA", CameraPixelFormat::BGRA, PackedRgb("BGRA", 16), 16, false},
    };
    FrameConverter converter;
    for (const auto& c : cases) {
        std::vector<TFramePlane> planes{{c.bytes.data(), c.bytes.size(), c.stride}};
        if (c.split) planes = {{c.bytes.data(), 16, 4}, {c.bytes.data() + 16, 8, 4}};
        Bitmap picture;
        ASSERT_TRUE(converter.Convert({c.format, 4, 4, false}, planes, picture)) << c.name;
        ASSERT_EQ(picture.Width(), 4);
        ASSERT_EQ(picture.Height(), 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_TRUE(Near(picture.GetColor(x, y), BlockColor[BlockOf(x, y)], 3))
                    << c.name << " " << x << "," << y;
    }

    Bitmap flat(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) flat.SetColor(x, y, PackColor(200, 100, 50));
    const Bytes jpeg = EncodeJpeg(flat, 95);
    Bitmap picture;
    const TFramePlane plane{jpeg.data(), jpeg.size(), 0};
    ASSERT_TRUE(converter.Convert({CameraPixelFormat::MJPG, 16, 16, false}, {&plane, 1}, picture));
    EXPECT_TRUE(Near(picture.GetColor(8, 8), PackColor(200, 100, 50), 4));
}

TEST(FrameConversion, AFrameShortOfItsLayoutIsRefused) {
    const Bytes yuy2 = YuvFrame(CameraPixelFormat::YUY2), nv12 = YuvFrame(CameraPixelFormat::NV12), garbage(64, 0x5A);
    const struct {
        const char* name;
        TFrameLayout layout;
        TFramePlane plane;
    } cases[] = {
        {"a byte short", {CameraPixelFormat::YUY2, 4, 4, false}, {yuy2.data(), yuy2.size() - 1, 0}},
        {"rows overlapping", {CameraPixelFormat::YUY2, 4, 4, false}, {yuy2.data(), yuy2.size(), 6}},
        {"no chroma", {CameraPixelFormat::NV12, 4, 4, false}, {nv12.data(), 16, 4}},
        {"chroma cut short", {CameraPixelFormat::NV12, 4, 4, false}, {nv12.data(), nv12.size() - 1, 4}},
        {"no size", {CameraPixelFormat::BGR, 0, 4, false}, {garbage.data(), garbage.size(), 0}},
        {"too large", {CameraPixelFormat::BGR, 70000, 1, false}, {garbage.data(), garbage.size(), 0}},
        {"no data", {CameraPixelFormat::BGR, 1, 1, false}, {nullptr, 3, 0}},
        {"not a JPEG", {CameraPixelFormat::MJPG, 4, 4, false}, {garbage.data(), garbage.size(), 0}},
    };
    FrameConverter converter;
    for (const auto& c : cases) {
        Bitmap picture(2, 1);
        picture.SetColor(1, 0, PackColor(1, 2, 3));
        const Bitmap before = picture;
        EXPECT_FALSE(converter.Convert(c.layout, {&c.plane, 1}, picture)) << c.name;
        EXPECT_EQ(picture, before) << c.name;
    }
}
