#include "capture/PipeWireStream.h"

#include <pipewire/pipewire.h>
#include <spa/param/buffers.h>
#include <spa/param/video/format-utils.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

namespace {
// How long a node may take to agree on a format.
constexpr std::int64_t NegotiationTimeoutNs = 5 * SPA_NSEC_PER_SEC;
// The window shows only the newest frame; older ones waiting past this are let go.
constexpr std::size_t MostWaiting = 2;

std::optional<CameraPixelFormat> RawFormat(spa_video_format format) {
    switch (format) {
        case SPA_VIDEO_FORMAT_YUY2: return CameraPixelFormat::YUY2;
        case SPA_VIDEO_FORMAT_UYVY: return CameraPixelFormat::UYVY;
        case SPA_VIDEO_FORMAT_NV12: return CameraPixelFormat::NV12;
        case SPA_VIDEO_FORMAT_RGB: return CameraPixelFormat::RGB;
        case SPA_VIDEO_FORMAT_BGR: return CameraPixelFormat::BGR;
        case SPA_VIDEO_FORMAT_RGBx: return CameraPixelFormat::RGBx;
        case SPA_VIDEO_FORMAT_BGRx: return CameraPixelFormat::BGRx;
        case SPA_VIDEO_FORMAT_RGBA: return CameraPixelFormat::RGBA;
        case SPA_VIDEO_FORMAT_BGRA: return CameraPixelFormat::BGRA;
        default: return std::nullopt;
    }
}

// What the stream accepts: the raw formats above, then Motion-JPEG; any size and rate, 640 x 480
// where the camera lets us choose.
const spa_pod* OfferedFormat(spa_pod_builder& builder, spa_media_subtype subtype) {
    spa_rectangle size{640, 480}, smallest{1, 1}, largest{8192, 8192};
    spa_fraction rate{30, 1}, slowest{0, 1}, fastest{1000, 1};
    spa_pod_frame frame;
    spa_pod_builder_push_object(&builder, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(&builder, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
                        SPA_POD_Id(subtype), 0);
    if (subtype == SPA_MEDIA_SUBTYPE_raw)
        spa_pod_builder_add(&builder, SPA_FORMAT_VIDEO_format,
                            SPA_POD_CHOICE_ENUM_Id(10, SPA_VIDEO_FORMAT_YUY2, SPA_VIDEO_FORMAT_YUY2,
                                                   SPA_VIDEO_FORMAT_UYVY, SPA_VIDEO_FORMAT_NV12, SPA_VIDEO_FORMAT_BGR,
                                                   SPA_VIDEO_FORMAT_RGB, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_RGBx,
                                                   SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBA),
                            0);
    spa_pod_builder_add(&builder, SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &smallest, &largest),
                        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &slowest, &fastest), 0);
    return static_cast<const spa_pod*>(spa_pod_builder_pop(&builder, &frame));
}
}  // namespace

struct PipeWireStream::Hook {
    spa_hook listener{};
};

PipeWireStream::PipeWireStream(std::shared_ptr<PipeWireConnection> connection, const TPipeWireNode& node)
    : connection_(std::move(connection)), node_(node), hook_(std::make_unique<Hook>()) {}

std::unique_ptr<PipeWireStream> PipeWireStream::Open(std::shared_ptr<PipeWireConnection> connection,
                                                     const TPipeWireNode& node, std::string& error) {
    std::unique_ptr<PipeWireStream> stream(new PipeWireStream(std::move(connection), node));
    if (!stream->Start(error)) return nullptr;
    return stream;
}

bool PipeWireStream::Start(std::string& error) {
    ready_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (ready_ < 0) {
        error = "eventfd: " + std::string(std::strerror(errno));
        return false;
    }
    static const pw_stream_events events = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.state_changed = [](void* data, pw_stream_state, pw_stream_state state, const char* message) {
            auto* self = static_cast<PipeWireStream*>(data);
            if (state == PW_STREAM_STATE_ERROR)
                self->Fail(message && *message ? message : "the camera failed");
            else if (state == PW_STREAM_STATE_UNCONNECTED)
                self->Fail("the camera \"" + self->node_.Description + "\" was disconnected");
        };
        e.param_changed = [](void* data, std::uint32_t id, const spa_pod* param) {
            if (id == SPA_PARAM_Format) static_cast<PipeWireStream*>(data)->FormatChanged(param);
        };
        e.process = [](void* data) { static_cast<PipeWireStream*>(data)->Process(); };
        return e;
    }();

    PipeWireConnection::Lock lock(*connection_);
    const std::uint32_t id = node_.Id;
    watch_ = connection_->Watch([this, id](std::uint32_t removed) {
        if (removed == id) Fail("the camera \"" + node_.Description + "\" was removed");
        if (removed == 0) Fail("the connection to PipeWire was lost");
    });
    const std::string target = node_.Serial.empty() ? node_.Name : node_.Serial;
    pw_properties* props =
        pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Camera",
                          PW_KEY_TARGET_OBJECT, target.c_str(), PW_KEY_NODE_DONT_RECONNECT, "true", nullptr);
    stream_ = pw_stream_new(connection_->Core(), "Corvalux", props);
    if (!stream_) {
        error = "PipeWire stream: " + std::string(std::strerror(errno));
        return false;
    }
    pw_stream_add_listener(stream_, &hook_->listener, &events, this);
    std::array<std::uint8_t, 1024> buffer;
    spa_pod_builder builder;
    spa_pod_builder_init(&builder, buffer.data(), std::uint32_t(buffer.size()));
    const spa_pod* params[2] = {OfferedFormat(builder, SPA_MEDIA_SUBTYPE_raw),
                                OfferedFormat(builder, SPA_MEDIA_SUBTYPE_mjpg)};
    const auto flags = pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS);
    if (const int result = pw_stream_connect(stream_, PW_DIRECTION_INPUT, PW_ID_ANY, flags, params, 2); result < 0) {
        error = "PipeWire stream: " + std::string(std::strerror(-result));
        return false;
    }
    timespec deadline{};
    pw_thread_loop_get_time(connection_->Loop(), &deadline, NegotiationTimeoutNs);
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (failed_) {
                error = error_;
                return false;
            }
            if (negotiated_) return true;
        }
        if (pw_thread_loop_timed_wait_full(connection_->Loop(), &deadline) != 0) {
            error = "the camera \"" + node_.Description + "\" offered no format we read within 5 s";
            return false;
        }
    }
}

PipeWireStream::~PipeWireStream() {
    {
        // Holding the loop's lock, no callback is running or can start.
        PipeWireConnection::Lock lock(*connection_);
        if (watch_) connection_->Unwatch(watch_);
        if (stream_) {
            spa_hook_remove(&hook_->listener);
            pw_stream_destroy(stream_);
        }
    }
    if (ready_ >= 0) ::close(ready_);
}

int PipeWireStream::Width() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return layout_.Width;
}

int PipeWireStream::Height() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return layout_.Height;
}

std::string PipeWireStream::LastError() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return error_;
}

FrameResult PipeWireStream::TakeFrame(Bitmap& frame) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!frames_.empty()) {
        std::swap(frame, frames_.front());
        spare_ = std::move(frames_.front());
        frames_.pop_front();
        return FrameResult::Taken;
    }
    if (damaged_ > 0) {
        --damaged_;
        return FrameResult::Dropped;
    }
    // Nothing is waiting: clear the descriptor. Frames are added under the same lock, so none
    // can slip in between.
    std::uint64_t count;
    while (::read(ready_, &count, sizeof count) < 0 && errno == EINTR) {
    }
    return failed_ ? FrameResult::Failed : FrameResult::NoneWaiting;
}

FrameResult PipeWireStream::WaitFrame(Bitmap& frame, int timeoutMs) {
    {
        std::unique_lock<std::mutex> guard(mutex_);
        arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return !frames_.empty() || failed_; });
        if (frames_.empty()) return failed_ ? FrameResult::Failed : FrameResult::NoneWaiting;
    }
    return TakeFrame(frame);
}

void PipeWireStream::Signal() {
    const std::uint64_t one = 1;
    while (::write(ready_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    arrived_.notify_all();
    pw_thread_loop_signal(connection_->Loop(), false);
}

void PipeWireStream::Fail(const std::string& why) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (failed_) return;
    failed_ = true;
    error_ = why;
    Signal();
}

void PipeWireStream::FormatChanged(const spa_pod* param) {
    spa_video_info info{};
    std::optional<TFrameLayout> layout;
    if (param && spa_format_video_parse(param, &info) >= 0) {
        if (info.media_subtype == SPA_MEDIA_SUBTYPE_raw) {
            if (const std::optional<CameraPixelFormat> format = RawFormat(info.info.raw.format))
                layout = TFrameLayout{*format, int(info.info.raw.size.width), int(info.info.raw.size.height),
                                      info.info.raw.color_range == SPA_VIDEO_COLOR_RANGE_0_255};
        } else if (info.media_subtype == SPA_MEDIA_SUBTYPE_mjpg) {
            layout = TFrameLayout{CameraPixelFormat::MJPG, int(info.info.mjpg.size.width),
                                  int(info.info.mjpg.size.height), false};
        }
    }
    if (!param) return;  // the format was cleared: the stream is stopping
    if (!layout) {
        Fail("the camera \"" + node_.Description + "\" chose a format we do not read");
        return;
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        layout_ = *layout;
        negotiated_ = true;
    }
    // Buffers we can read: plain memory, mapped by PipeWire. A few more than a camera's usual
    // four keep a node streaming that loses one to each consumer that leaves (GStreamer's
    // pipewiresink does).
    std::array<std::uint8_t, 256> buffer;
    spa_pod_builder builder;
    spa_pod_builder_init(&builder, buffer.data(), std::uint32_t(buffer.size()));
    const spa_pod* params[1] = {static_cast<const spa_pod*>(
        spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
                                   SPA_POD_CHOICE_RANGE_Int(8, 2, 16), SPA_PARAM_BUFFERS_dataType,
                                   SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd))))};
    pw_stream_update_params(stream_, params, 1);
    pw_thread_loop_signal(connection_->Loop(), false);
}

void PipeWireStream::Process() {
    // Only the newest frame counts; older ones go straight back, so that the node never waits
    // for buffers we hold.
    pw_buffer* buffer = pw_stream_dequeue_buffer(stream_);
    if (!buffer) return;
    while (pw_buffer* newer = pw_stream_dequeue_buffer(stream_)) {
        pw_stream_queue_buffer(stream_, buffer);
        buffer = newer;
    }
    const spa_buffer* frameBuffer = buffer->buffer;
    std::array<TFramePlane, 2> planes{};
    const std::size_t count = std::min<std::size_t>(frameBuffer->n_datas, planes.size());
    bool intact = count > 0;
    for (std::size_t i = 0; i < count && intact; ++i) {
        const spa_data& data = frameBuffer->datas[i];
        intact = data.data && data.chunk && !(data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) &&
                 data.chunk->offset <= data.maxsize;
        if (intact)
            planes[i] = {static_cast<const std::uint8_t*>(data.data) + data.chunk->offset,
                         std::min<std::size_t>(data.chunk->size, data.maxsize - data.chunk->offset),
                         data.chunk->stride};
    }
    Bitmap frame;
    TFrameLayout layout;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        frame = std::move(spare_);
        layout = layout_;
    }
    const bool converted = intact && converter_.Convert(layout, std::span(planes.data(), count), frame);
    pw_stream_queue_buffer(stream_, buffer);

    std::lock_guard<std::mutex> guard(mutex_);
    if (!converted) {
        ++damaged_;
    } else {
        if (frames_.size() >= MostWaiting) {
            spare_ = std::move(frames_.front());
            frames_.pop_front();
        }
        frames_.push_back(std::move(frame));
    }
    Signal();
}
