// The Video4Linux2 backend against a simulated device behind its I/O seam: numbering, format
// negotiation, buffer handling and the release of everything it took.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <map>

#include "capture/V4l2Backend.h"

namespace {
constexpr std::uint32_t Capture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
constexpr std::uint32_t MapStride = 0x10000;  // offsets QUERYBUF hands out, one per buffer

struct SimulatedDevice {
    std::string card = "Cam", driver = "uvcvideo";
    std::uint32_t caps = Capture;
    bool openable = true;
    bool convertsToBgr = true;
    std::uint32_t width = 4, height = 2, bytesPerLine = 16;  // 4 bytes of padding a row
    unsigned maxBuffers = 4;
    unsigned long failRequest = 0;  // an ioctl request that fails
};

// One simulated system: device nodes by path, at most one streaming at a time.
class SimulatedV4l2 : public V4l2Io {
public:
    std::map<std::string, SimulatedDevice> devices;
    std::vector<std::string> calls;  // the streaming ioctls, by name
    std::map<int, std::string> openFds;
    int mapped = 0;
    std::deque<unsigned> queued, filled;
    std::vector<std::vector<std::uint8_t>> memory;
    bool streaming = false;

    int Open(const std::string& path) override {
        const auto found = devices.find(path);
        if (found == devices.end()) return Fail(ENOENT);
        if (!found->second.openable) return Fail(EACCES);
        openFds[nextFd_] = path;
        return nextFd_++;
    }
    int Close(int fd) override { return openFds.erase(fd) ? 0 : Fail(EBADF); }
    int Ioctl(int fd, unsigned long request, void* argument) override;
    void* Map(std::size_t length, int, std::int64_t offset) override {
        const std::size_t index = std::size_t(offset) / MapStride;
        if (index >= memory.size() || length != memory[index].size()) return MAP_FAILED;
        ++mapped;
        return memory[index].data();
    }
    int Unmap(void*, std::size_t) override {
        --mapped;
        return 0;
    }
    int WaitReadable(int, int) override { return filled.empty() ? 0 : 1; }

    // The device fills the oldest queued buffer: pixel bytes count up, padding is 0xEE.
    void Produce(std::uint32_t bytesUsed = 0) {
        ASSERT_FALSE(queued.empty());
        const unsigned index = queued.front();
        queued.pop_front();
        const SimulatedDevice& d = Streaming();
        std::vector<std::uint8_t>& m = memory[index];
        std::fill(m.begin(), m.end(), 0xEE);
        for (std::uint32_t y = 0; y < d.height; ++y)
            for (std::uint32_t i = 0; i < d.width * 3; ++i) m[y * d.bytesPerLine + i] = std::uint8_t(y * 16 + i);
        filled.push_back(index);
        bytesUsed_[index] = bytesUsed ? bytesUsed : std::uint32_t(m.size());
    }

private:
    static int Fail(int error) {
        errno = error;
        return -1;
    }
    SimulatedDevice& Streaming() { return devices.at(openFds.at(streamFd_)); }

    int nextFd_ = 3, streamFd_ = -1;
    std::map<unsigned, std::uint32_t> bytesUsed_;
};

int SimulatedV4l2::Ioctl(int fd, unsigned long request, void* argument) {
    if (!openFds.count(fd)) return Fail(EBADF);
    SimulatedDevice& d = devices.at(openFds[fd]);
    if (request == VIDIOC_QUERYCAP) {
        auto* caps = static_cast<v4l2_capability*>(argument);
        *caps = {};
        std::strncpy(reinterpret_cast<char*>(caps->card), d.card.c_str(), sizeof caps->card);
        std::strncpy(reinterpret_cast<char*>(caps->driver), d.driver.c_str(), sizeof caps->driver);
        caps->version = 0x060100;
        caps->capabilities = d.caps | V4L2_CAP_DEVICE_CAPS;
        caps->device_caps = d.caps;
        return 0;
    }
    static const std::map<unsigned long, const char*> names = {
        {VIDIOC_G_FMT, "G_FMT"},       {VIDIOC_S_FMT, "S_FMT"},        {VIDIOC_REQBUFS, "REQBUFS"},
        {VIDIOC_QUERYBUF, "QUERYBUF"}, {VIDIOC_QBUF, "QBUF"},          {VIDIOC_DQBUF, "DQBUF"},
        {VIDIOC_STREAMON, "STREAMON"}, {VIDIOC_STREAMOFF, "STREAMOFF"}};
    calls.push_back(names.count(request) ? names.at(request) : "?");
    if (request == d.failRequest) return Fail(EIO);
    streamFd_ = fd;
    if (request == VIDIOC_G_FMT || request == VIDIOC_S_FMT) {
        auto& pix = static_cast<v4l2_format*>(argument)->fmt.pix;
        const bool bgr = request == VIDIOC_S_FMT && d.convertsToBgr && pix.pixelformat == V4L2_PIX_FMT_BGR24;
        pix.pixelformat = bgr ? V4L2_PIX_FMT_BGR24 : V4L2_PIX_FMT_YUYV;
        pix.width = d.width;
        pix.height = d.height;
        pix.bytesperline = bgr ? d.bytesPerLine : d.width * 2;
        pix.sizeimage = pix.bytesperline * d.height;
        return 0;
    }
    if (request == VIDIOC_REQBUFS) {
        auto* r = static_cast<v4l2_requestbuffers*>(argument);
        r->count = std::min(r->count, d.maxBuffers);
        memory.assign(r->count, std::vector<std::uint8_t>(d.bytesPerLine * d.height));
        return 0;
    }
    auto* b = static_cast<v4l2_buffer*>(argument);
    if (request == VIDIOC_QUERYBUF) {
        if (b->index >= memory.size()) return Fail(EINVAL);
        b->length = std::uint32_t(memory[b->index].size());
        b->m.offset = b->index * MapStride;
        return 0;
    }
    if (request == VIDIOC_QBUF) {
        queued.push_back(b->index);
        return 0;
    }
    if (request == VIDIOC_DQBUF) {
        if (filled.empty()) return Fail(EAGAIN);
        b->index = filled.front();
        b->bytesused = bytesUsed_[b->index];
        filled.pop_front();
        return 0;
    }
    if (request == VIDIOC_STREAMON) streaming = true;
    if (request == VIDIOC_STREAMOFF) {
        streaming = false;
        queued.clear();
        filled.clear();
    }
    return 0;
}

class V4l2BackendTest : public ::testing::Test {
protected:
    std::shared_ptr<SimulatedV4l2> io = std::make_shared<SimulatedV4l2>();
    V4l2Backend backend{io};
};
}  // namespace

TEST_F(V4l2BackendTest, DriversAreTheCaptureNodesInOrder) {
    io->devices["/dev/video0"].card = "First";
    io->devices["/dev/video1"].caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    io->devices["/dev/video2"].openable = false;
    io->devices["/dev/video4"].card = "Second";
    io->devices["/dev/video9"].card = "Last";
    const std::optional<TDriverDescription> expected[] = {TDriverDescription{"First", "uvcvideo 6.1.0"},
                                                          TDriverDescription{"Second", "uvcvideo 6.1.0"},
                                                          TDriverDescription{"Last", "uvcvideo 6.1.0"}, std::nullopt};
    for (int index = 0; index < 4; ++index) EXPECT_EQ(backend.Describe(index), expected[index]) << index;
    EXPECT_EQ(backend.Describe(-1), std::nullopt);
    EXPECT_EQ(backend.Describe(10), std::nullopt);
    EXPECT_TRUE(io->openFds.empty());
}

TEST_F(V4l2BackendTest, ConnectStreamsBgrFromFourMappedBuffers) {
    io->devices["/dev/video0"].caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    io->devices["/dev/video1"];
    std::unique_ptr<CaptureStream> stream = backend.Connect(0);
    ASSERT_NE(stream, nullptr) << backend.LastError();
    EXPECT_EQ(io->openFds.size(), 1u);
    EXPECT_EQ(io->openFds.begin()->second, "/dev/video1");
    EXPECT_EQ(stream->ReadyDescriptor(), io->openFds.begin()->first);
    EXPECT_EQ(io->calls, (std::vector<std::string>{"G_FMT", "S_FMT", "REQBUFS", "QUERYBUF", "QUERYBUF", "QUERYBUF",
                                                   "QUERYBUF", "QBUF", "QBUF", "QBUF", "QBUF", "STREAMON"}));
    EXPECT_EQ(io->mapped, 4);
    EXPECT_EQ(stream->Width(), 4);
    EXPECT_EQ(stream->Height(), 2);

    Bitmap frame;
    EXPECT_EQ(stream->TakeFrame(frame), FrameResult::NoneWaiting);
    io->Produce();
    ASSERT_EQ(stream->TakeFrame(frame), FrameResult::Taken);
    ASSERT_EQ(frame.Width(), 4);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 12; ++i) EXPECT_EQ(frame.Row(y)[i], y * 16 + i);
    EXPECT_EQ(io->queued.size(), 4u);  // handed back to the device

    // A buffer that holds less than the picture is dropped, and still handed back.
    io->Produce(16 + 11);
    EXPECT_EQ(stream->TakeFrame(frame), FrameResult::Dropped);
    EXPECT_EQ(io->queued.size(), 4u);

    io->calls.clear();
    stream.reset();
    EXPECT_EQ(io->calls, (std::vector<std::string>{"STREAMOFF", "REQBUFS"}));
    EXPECT_EQ(io->mapped, 0);
    EXPECT_TRUE(io->openFds.empty());
}

TEST_F(V4l2BackendTest, AFailedConnectReleasesWhatItTook) {
    io->devices["/dev/video0"];
    const struct {
        const char* name;
        void (*spoil)(SimulatedDevice&);
        const char* error;
    } failures[] = {
        {"no permission", [](SimulatedDevice& d) { d.openable = false; }, "Permission denied"},
        {"no BGR24", [](SimulatedDevice& d) { d.convertsToBgr = false; }, "BGR24"},
        {"no buffers", [](SimulatedDevice& d) { d.maxBuffers = 0; }, "REQBUFS"},
        {"buffer query fails", [](SimulatedDevice& d) { d.failRequest = VIDIOC_QUERYBUF; }, "QUERYBUF"},
        {"busy", [](SimulatedDevice& d) { d.failRequest = VIDIOC_STREAMON; }, "STREAMON"},
    };
    for (const auto& f : failures) {
        // The driver is listed while it can be opened; the failure comes at the connection.
        ASSERT_TRUE(backend.Describe(0)) << f.name;
        SimulatedDevice saved = io->devices["/dev/video0"];
        f.spoil(io->devices["/dev/video0"]);
        EXPECT_EQ(backend.Connect(0), nullptr) << f.name;
        EXPECT_NE(backend.LastError().find(f.error), std::string::npos) << f.name << ": " << backend.LastError();
        EXPECT_TRUE(io->openFds.empty()) << f.name;
        EXPECT_EQ(io->mapped, 0) << f.name;
        EXPECT_FALSE(io->streaming) << f.name;
        io->devices["/dev/video0"] = saved;
    }
    EXPECT_EQ(backend.Connect(1), nullptr);

    // A node that turns unreadable does not move the other drivers' numbers.
    io->devices["/dev/video3"];
    ASSERT_TRUE(backend.Describe(1));
    io->devices["/dev/video0"].openable = false;
    std::unique_ptr<CaptureStream> second = backend.Connect(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(io->openFds.begin()->second, "/dev/video3");
}

TEST_F(V4l2BackendTest, WaitFrameTakesTheNextFrameOrTimesOut) {
    io->devices["/dev/video0"];
    std::unique_ptr<CaptureStream> stream = backend.Connect(0);
    ASSERT_NE(stream, nullptr);
    Bitmap frame;
    EXPECT_EQ(stream->WaitFrame(frame, 10), FrameResult::NoneWaiting);
    io->Produce();
    EXPECT_EQ(stream->WaitFrame(frame, 10), FrameResult::Taken);
    EXPECT_EQ(frame.Height(), 2);
}
