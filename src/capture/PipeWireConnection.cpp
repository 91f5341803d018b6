#include "capture/PipeWireConnection.h"

#include <pipewire/pipewire.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace {
// How long the registry may take to tell what it holds.
constexpr std::int64_t SyncTimeoutNs = 3 * SPA_NSEC_PER_SEC;

std::string Property(const spa_dict* props, const char* key) {
    const char* value = props ? spa_dict_lookup(props, key) : nullptr;
    return value ? value : "";
}
}  // namespace

struct PipeWireConnection::Listeners {
    spa_hook core{}, registry{};
};

PipeWireConnection::Lock::Lock(const PipeWireConnection& connection) : loop_(connection.loop_) {
    pw_thread_loop_lock(loop_);
}
PipeWireConnection::Lock::~Lock() { pw_thread_loop_unlock(loop_); }

std::shared_ptr<PipeWireConnection> PipeWireConnection::Open(std::string& error) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });

    std::shared_ptr<PipeWireConnection> connection(new PipeWireConnection);
    PipeWireConnection& c = *connection;
    c.listeners_ = std::make_unique<Listeners>();
    c.loop_ = pw_thread_loop_new("corvalux-camera", nullptr);
    if (c.loop_) c.context_ = pw_context_new(pw_thread_loop_get_loop(c.loop_), nullptr, 0);
    if (!c.context_ || pw_thread_loop_start(c.loop_) < 0) {
        error = "PipeWire could not start: " + std::string(std::strerror(errno));
        return nullptr;
    }

    static const pw_core_events coreEvents = [] {
        pw_core_events events{};
        events.version = PW_VERSION_CORE_EVENTS;
        events.done = [](void* data, std::uint32_t id, int seq) {
            auto* self = static_cast<PipeWireConnection*>(data);
            if (id != PW_ID_CORE || seq != self->syncSeq_) return;
            self->synced_ = true;
            pw_thread_loop_signal(self->loop_, false);
        };
        events.error = [](void* data, std::uint32_t id, int, int, const char*) {
            auto* self = static_cast<PipeWireConnection*>(data);
            if (id != PW_ID_CORE) return;
            self->alive_ = false;
            self->Removed(0);
            pw_thread_loop_signal(self->loop_, false);
        };
        return events;
    }();
    static const pw_registry_events registryEvents = [] {
        pw_registry_events events{};
        events.version = PW_VERSION_REGISTRY_EVENTS;
        events.global = [](void* data, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t,
                           const spa_dict* props) {
            if (std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0) return;
            if (Property(props, PW_KEY_MEDIA_CLASS) != "Video/Source") return;
            TPipeWireNode node{id, Property(props, PW_KEY_OBJECT_SERIAL), Property(props, PW_KEY_NODE_NAME),
                               Property(props, PW_KEY_NODE_DESCRIPTION), Property(props, PW_KEY_OBJECT_PATH)};
            if (node.Description.empty()) node.Description = Property(props, PW_KEY_NODE_NICK);
            if (node.Description.empty()) node.Description = node.Name;
            static_cast<PipeWireConnection*>(data)->nodes_.push_back(std::move(node));
        };
        events.global_remove = [](void* data, std::uint32_t id) {
            static_cast<PipeWireConnection*>(data)->Removed(id);
        };
        return events;
    }();

    bool connected;
    {
        Lock lock(c);
        c.core_ = pw_context_connect(c.context_, nullptr, 0);
        connected = c.core_ != nullptr;
        if (connected) {
            pw_core_add_listener(c.core_, &c.listeners_->core, &coreEvents, &c);
            c.registry_ = pw_core_get_registry(c.core_, PW_VERSION_REGISTRY, 0);
            pw_registry_add_listener(c.registry_, &c.listeners_->registry, &registryEvents, &c);
            c.syncSeq_ = pw_core_sync(c.core_, PW_ID_CORE, 0);
            timespec deadline{};
            pw_thread_loop_get_time(c.loop_, &deadline, SyncTimeoutNs);
            while (!c.synced_ && c.alive_)
                if (pw_thread_loop_timed_wait_full(c.loop_, &deadline) != 0) break;
        } else {
            error = "no PipeWire daemon: " + std::string(std::strerror(errno));
        }
    }
    if (!connected) return nullptr;
    if (!c.synced_) {
        error = c.alive_ ? "PipeWire did not answer" : "PipeWire refused the connection";
        return nullptr;
    }
    return connection;
}

PipeWireConnection::~PipeWireConnection() {
    // With the thread stopped, nothing else touches these objects.
    if (loop_) pw_thread_loop_stop(loop_);
    if (registry_) pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry_));
    if (core_) pw_core_disconnect(core_);
    if (context_) pw_context_destroy(context_);
    if (loop_) pw_thread_loop_destroy(loop_);
}

std::vector<TPipeWireNode> PipeWireConnection::Cameras() const {
    Lock lock(*this);
    return nodes_;
}

bool PipeWireConnection::Alive() const {
    Lock lock(*this);
    return alive_;
}

int PipeWireConnection::Watch(std::function<void(std::uint32_t)> handler) {
    Lock lock(*this);
    watchers_.emplace_back(nextWatch_, std::move(handler));
    return nextWatch_++;
}

void PipeWireConnection::Unwatch(int key) {
    Lock lock(*this);
    std::erase_if(watchers_, [key](const auto& watcher) { return watcher.first == key; });
}

void PipeWireConnection::Removed(std::uint32_t id) {
    std::erase_if(nodes_, [id](const TPipeWireNode& node) { return node.Id == id; });
    for (const auto& watcher : watchers_) watcher.second(id);
}
