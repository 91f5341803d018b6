#include "capture/FakeCaptureBackend.h"

#include <deque>

class FakeStream : public CaptureStream {
public:
    FakeStream(FakeCaptureBackend& backend, int index, int width, int height)
        : backend_(backend), index_(index), width_(width), height_(height) {
        backend_.live_ = this;
    }
    ~FakeStream() override {
        if (backend_.live_ == this) backend_.live_ = nullptr;
    }

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    int Index() const { return index_; }

    void Deliver() {
        waiting_.push_back(FakeFrame(width_, height_, backend_.framesMade_++));
        if (FrameWaiting) FrameWaiting();
    }
    void Fail(const std::string& why) {
        failure_ = why;
        if (FrameWaiting) FrameWaiting();
    }
    FrameResult TakeFrame(Bitmap& frame) override {
        if (waiting_.empty()) return failure_ ? FrameResult::Failed : FrameResult::NoneWaiting;
        frame = std::move(waiting_.front());
        waiting_.pop_front();
        return FrameResult::Taken;
    }
    FrameResult WaitFrame(Bitmap& frame, int) override {
        if (backend_.FailGrab || failure_) return FrameResult::Failed;
        if (waiting_.empty()) waiting_.push_back(FakeFrame(width_, height_, backend_.framesMade_++));
        return TakeFrame(frame);
    }
    std::string LastError() const override { return failure_ ? *failure_ : backend_.FailGrab ? "grab refused" : ""; }

private:
    FakeCaptureBackend& backend_;
    int index_, width_, height_;
    std::deque<Bitmap> waiting_;
    std::optional<std::string> failure_;
};

FakeCaptureBackend::~FakeCaptureBackend() = default;

std::optional<TDriverDescription> FakeCaptureBackend::Describe(int index) {
    if (index < 0 || index >= int(Drivers.size()) || !Drivers[index]) return std::nullopt;
    return TDriverDescription{Drivers[index]->Name, Drivers[index]->Version};
}

std::unique_ptr<CaptureStream> FakeCaptureBackend::Connect(int index) {
    if (!Describe(index) || FailingConnects.count(index)) {
        lastError_ = "cannot open driver " + std::to_string(index);
        return nullptr;
    }
    ++Connections;
    lastError_.clear();
    return std::make_unique<FakeStream>(*this, index, Drivers[index]->Width, Drivers[index]->Height);
}

bool FakeCaptureBackend::Pump(int count) {
    if (!live_) return false;
    for (int i = 0; i < count && live_; ++i) live_->Deliver();
    return true;
}

bool FakeCaptureBackend::FailStream(const std::string& why) {
    if (!live_) return false;
    live_->Fail(why);
    return true;
}

int FakeCaptureBackend::ConnectedIndex() const { return live_ ? live_->Index() : -1; }

Bitmap FakeFrame(int width, int height, unsigned number) {
    static constexpr PackedColor Bars[8] = {PackColor(255, 255, 255), PackColor(255, 255, 0), PackColor(0, 255, 255),
                                            PackColor(0, 255, 0),     PackColor(255, 0, 255), PackColor(255, 0, 0),
                                            PackColor(0, 0, 255),     PackColor(0, 0, 0)};
    Bitmap frame(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) frame.SetColor(x, y, Bars[std::size_t(x) * 8 / std::size_t(width)]);
    if (width > 0 && height > 0)
        frame.SetColor(0, 0, PackColor((number >> 16) & 0xFF, (number >> 8) & 0xFF, number & 0xFF));
    return frame;
}

unsigned FakeFrameNumber(const Bitmap& frame) {
    const PackedColor c = frame.GetColor(0, 0);
    return unsigned(RedOf(c)) << 16 | unsigned(GreenOf(c)) << 8 | BlueOf(c);
}
