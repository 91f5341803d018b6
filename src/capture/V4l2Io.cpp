#include "capture/V4l2Io.h"

#include <fcntl.h>
#include <libv4l2.h>
#include <poll.h>
#include <sys/mman.h>

#include <cerrno>

namespace {
class SystemIo : public V4l2Io {
public:
    int Open(const std::string& path) override { return v4l2_open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC); }
    int Close(int fd) override { return v4l2_close(fd); }
    int Ioctl(int fd, unsigned long request, void* argument) override { return v4l2_ioctl(fd, request, argument); }
    void* Map(std::size_t length, int fd, std::int64_t offset) override {
        return v4l2_mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
    }
    int Unmap(void* start, std::size_t length) override { return v4l2_munmap(start, length); }
    int WaitReadable(int fd, int timeoutMs) override {
        pollfd waiting{fd, POLLIN, 0};
        int n;
        do n = ::poll(&waiting, 1, timeoutMs);
        while (n < 0 && errno == EINTR);
        return n < 0 ? -1 : (n > 0 ? 1 : 0);
    }
};
}  // namespace

std::shared_ptr<V4l2Io> SystemV4l2Io() { return std::make_shared<SystemIo>(); }
