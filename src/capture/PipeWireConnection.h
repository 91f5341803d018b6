#pragma once
// A connection to the user's PipeWire daemon on a thread of its own, which keeps the list of
// camera nodes (media.class Video/Source) up to date from the daemon's registry.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct pw_core;
struct pw_thread_loop;

struct TPipeWireNode {
    std::uint32_t Id = 0;
    std::string Serial;       // object.serial: what a stream names as its target
    std::string Name;         // node.name
    std::string Description;  // node.description, or the name when there is none
    std::string ObjectPath;   // object.path, "v4l2:/dev/video0" for a V4L2 device
};

class PipeWireConnection {
public:
    // Connects and waits until the registry has told every node; null, with the reason in
    // `error`, when there is no daemon to talk to.
    static std::shared_ptr<PipeWireConnection> Open(std::string& error);
    ~PipeWireConnection();
    PipeWireConnection(const PipeWireConnection&) = delete;
    PipeWireConnection& operator=(const PipeWireConnection&) = delete;

    // The camera nodes in the order the daemon made them.
    std::vector<TPipeWireNode> Cameras() const;
    // False once the daemon went away or refused us.
    bool Alive() const;

    // Every call into PipeWire outside its own thread holds this lock.
    class Lock {
    public:
        explicit Lock(const PipeWireConnection& connection);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pw_thread_loop* loop_;
    };
    pw_thread_loop* Loop() const { return loop_; }
    pw_core* Core() const { return core_; }

    // Told on PipeWire's thread, with the lock held, when a node goes away or the connection
    // fails (id 0 then). Returns a key for Unwatch.
    int Watch(std::function<void(std::uint32_t removedId)> handler);
    void Unwatch(int key);

private:
    PipeWireConnection() = default;
    struct Listeners;
    void Removed(std::uint32_t id);

    pw_thread_loop* loop_ = nullptr;
    struct pw_context* context_ = nullptr;
    pw_core* core_ = nullptr;
    struct pw_registry* registry_ = nullptr;
    std::unique_ptr<Listeners> listeners_;
    std::vector<TPipeWireNode> nodes_;
    std::vector<std::pair<int, std::function<void(std::uint32_t)>>> watchers_;
    int nextWatch_ = 1;
    int syncSeq_ = -1;
    bool synced_ = false, alive_ = true;
};
