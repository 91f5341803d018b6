#pragma once
// The few calls the Video4Linux2 backend makes to the system, behind one interface so that its
// logic can be tested without a camera. Failures return -1 (or MAP_FAILED) and set errno.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class V4l2Io {
public:
    virtual ~V4l2Io() = default;
    // Opens a device node for reading and writing, without blocking.
    virtual int Open(const std::string& path) = 0;
    virtual int Close(int fd) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual void* Map(std::size_t length, int fd, std::int64_t offset) = 0;
    virtual int Unmap(void* start, std::size_t length) = 0;
    // Waits until fd is readable: 1 when it is, 0 on timeout, -1 on error.
    virtual int WaitReadable(int fd, int timeoutMs) = 0;
};

// The real calls, through libv4l2, which converts every camera format to BGR24.
std::shared_ptr<V4l2Io> SystemV4l2Io();
