#include "capture/V4l2Backend.h"

#include <sys/mman.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "capture/V4l2Devices.h"

namespace {
constexpr unsigned BufferCount = 4;

class V4l2Stream : public CaptureStream {
public:
    explicit V4l2Stream(std::shared_ptr<V4l2Io> io) : io_(std::move(io)) {}
    ~V4l2Stream() override { Release(); }

    // Opens the node, asks for BGR24 and starts streaming. On failure everything taken so far
    // is released again by the destructor.
    bool Start(const std::string& path);

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    int ReadyDescriptor() const override { return fd_; }
    FrameResult TakeFrame(Bitmap& frame) override;
    FrameResult WaitFrame(Bitmap& frame, int timeoutMs) override;
    std::string LastError() const override { return lastError_; }

private:
    struct Buffer {
        void* Start;
        std::size_t Length;
    };

    int Ioctl(unsigned long request, void* argument) {
        int result;
        do result = io_->Ioctl(fd_, request, argument);
        while (result < 0 && errno == EINTR);
        return result;
    }
    bool Fail(const char* what) {
        lastError_ = std::string(what) + ": " + std::strerror(errno);
        return false;
    }
    void Release();

    std::shared_ptr<V4l2Io> io_;
    int fd_ = -1;
    int width_ = 0, height_ = 0;
    std::size_t bytesPerLine_ = 0;
    bool requested_ = false, streaming_ = false;
    std::vector<Buffer> buffers_;
    std::string lastError_;
};

bool V4l2Stream::Start(const std::string& path) {
    fd_ = io_->Open(path);
    if (fd_ < 0) return Fail("open");

    // Keep the size the device has now; libv4l2 converts whatever it delivers to BGR24.
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(VIDIOC_G_FMT, &format) < 0) return Fail("VIDIOC_G_FMT");
    format.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    format.fmt.pix.bytesperline = 0;
    if (Ioctl(VIDIOC_S_FMT, &format) < 0) return Fail("VIDIOC_S_FMT");
    // What was obtained, not what was asked for, rules from here on.
    const v4l2_pix_format& obtained = format.fmt.pix;
    if (obtained.pixelformat != V4L2_PIX_FMT_BGR24 || obtained.width == 0 || obtained.height == 0 ||
        !PictureSizeAllowed(obtained.width, obtained.height)) {
        errno = EINVAL;
        return Fail("BGR24 format");
    }
    width_ = int(obtained.width);
    height_ = int(obtained.height);
    bytesPerLine_ = obtained.bytesperline != 0 ? obtained.bytesperline : std::size_t(width_) * 3;

    v4l2_requestbuffers request{};
    request.count = BufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (Ioctl(VIDIOC_REQBUFS, &request) < 0) return Fail("VIDIOC_REQBUFS");
    requested_ = true;
    if (request.count == 0) {
        errno = ENOMEM;
        return Fail("VIDIOC_REQBUFS");
    }

    for (unsigned i = 0; i < request.count; ++i) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        if (Ioctl(VIDIOC_QUERYBUF, &buffer) < 0) return Fail("VIDIOC_QUERYBUF");
        void* start = io_->Map(buffer.length, fd_, buffer.m.offset);
        if (start == MAP_FAILED) return Fail("mmap");
        buffers_.push_back({start, buffer.length});
    }
    for (unsigned i = 0; i < buffers_.size(); ++i) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        if (Ioctl(VIDIOC_QBUF, &buffer) < 0) return Fail("VIDIOC_QBUF");
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(VIDIOC_STREAMON, &type) < 0) return Fail("VIDIOC_STREAMON");
    streaming_ = true;
    return true;
}

FrameResult V4l2Stream::TakeFrame(Bitmap& frame) {
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    if (Ioctl(VIDIOC_DQBUF, &buffer) < 0) {
        if (errno == EAGAIN) return FrameResult::NoneWaiting;
        Fail("VIDIOC_DQBUF");
        return FrameResult::Failed;
    }
    if (buffer.index >= buffers_.size()) {
        errno = EINVAL;
        Fail("VIDIOC_DQBUF");
        return FrameResult::Failed;
    }
    const Buffer& mapped = buffers_[buffer.index];
    // Some drivers leave bytesused at 0 for a full buffer; never read past the mapping.
    std::size_t used = buffer.bytesused != 0 ? buffer.bytesused : mapped.Length;
    if (used > mapped.Length) used = mapped.Length;
    const bool copied =
        !(buffer.flags & V4L2_BUF_FLAG_ERROR) &&
        CopyBgrFrame(static_cast<const std::uint8_t*>(mapped.Start), used, width_, height_, bytesPerLine_, frame);
    if (Ioctl(VIDIOC_QBUF, &buffer) < 0) {
        Fail("VIDIOC_QBUF");
        return FrameResult::Failed;
    }
    return copied ? FrameResult::Taken : FrameResult::Dropped;
}

FrameResult V4l2Stream::WaitFrame(Bitmap& frame, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const FrameResult result = TakeFrame(frame);
        if (result == FrameResult::Taken || result == FrameResult::Failed) return result;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return FrameResult::NoneWaiting;
        const int ready = io_->WaitReadable(fd_, int(left));
        if (ready < 0) {
            Fail("poll");
            return FrameResult::Failed;
        }
        if (ready == 0) return FrameResult::NoneWaiting;
    }
}

void V4l2Stream::Release() {
    if (fd_ < 0) return;
    if (streaming_) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        Ioctl(VIDIOC_STREAMOFF, &type);
    }
    for (const Buffer& buffer : buffers_) io_->Unmap(buffer.Start, buffer.Length);
    buffers_.clear();
    if (requested_) {
        v4l2_requestbuffers none{};
        none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        none.memory = V4L2_MEMORY_MMAP;
        Ioctl(VIDIOC_REQBUFS, &none);
    }
    io_->Close(fd_);
    fd_ = -1;
    streaming_ = requested_ = false;
}
}  // namespace

std::string V4l2NodePath(int number) { return "/dev/video" + std::to_string(number); }

V4l2Backend::V4l2Backend(std::shared_ptr<V4l2Io> io) : io_(std::move(io)) { describedNodes_.fill(-1); }

std::vector<V4l2Backend::Node> V4l2Backend::ScanDrivers(int wanted) {
    std::array<std::optional<std::uint32_t>, V4l2NodeCount> nodeCaps;
    std::array<v4l2_capability, V4l2NodeCount> caps{};
    // Nodes are queried in order only as far as needed to find `wanted` drivers.
    int found = 0;
    for (int node = 0; node < V4l2NodeCount && found < wanted; ++node) {
        const int fd = io_->Open(V4l2NodePath(node));
        if (fd < 0) continue;
        int result;
        do result = io_->Ioctl(fd, VIDIOC_QUERYCAP, &caps[node]);
        while (result < 0 && errno == EINTR);
        io_->Close(fd);
        if (result < 0) continue;
        nodeCaps[node] = NodeCaps(caps[node]);
        if (IsCaptureNode(*nodeCaps[node])) ++found;
    }
    std::vector<Node> drivers;
    for (const int number : CaptureNodeNumbers(nodeCaps)) drivers.push_back({number, caps[number]});
    return drivers;
}

std::optional<V4l2Backend::Node> V4l2Backend::FindDriver(int index) {
    if (index < 0 || index >= V4l2NodeCount) return std::nullopt;
    const std::vector<Node> drivers = ScanDrivers(index + 1);
    if (index >= int(drivers.size())) return std::nullopt;
    return drivers[index];
}

std::vector<TV4l2Driver> V4l2Backend::ListDrivers() {
    std::vector<TV4l2Driver> drivers;
    for (const Node& node : ScanDrivers(V4l2NodeCount)) drivers.push_back({node.Number, DescribeDriver(node.Caps)});
    return drivers;
}

std::optional<TDriverDescription> V4l2Backend::Describe(int index) {
    const std::optional<Node> node = FindDriver(index);
    if (index >= 0 && index < int(describedNodes_.size())) describedNodes_[index] = node ? node->Number : -1;
    if (!node) return std::nullopt;
    return DescribeDriver(node->Caps);
}

std::unique_ptr<CaptureStream> V4l2Backend::Connect(int index) {
    int number = index >= 0 && index < int(describedNodes_.size()) ? describedNodes_[index] : -1;
    if (number < 0) {
        const std::optional<Node> node = FindDriver(index);
        if (!node) {
            lastError_ = "no capture driver " + std::to_string(index);
            return nullptr;
        }
        number = node->Number;
    }
    return ConnectNode(number);
}

std::unique_ptr<CaptureStream> V4l2Backend::ConnectNode(int number) {
    auto stream = std::make_unique<V4l2Stream>(io_);
    if (!stream->Start(V4l2NodePath(number))) {
        lastError_ = V4l2NodePath(number) + ": " + stream->LastError();
        return nullptr;
    }
    lastError_.clear();
    return stream;
}
