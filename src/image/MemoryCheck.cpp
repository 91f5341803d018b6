#include "image/MemoryCheck.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>

#include "common/Errors.h"
#include "image/MemoryLimits.h"

namespace {
std::function<std::optional<std::int64_t>()>& Source() {
    static std::function<std::optional<std::int64_t>()> source;
    return source;
}

// /proc/meminfo in one read: the kernel builds it afresh for each read, and it is small.
std::string ReadMeminfo() {
    const int fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char buffer[8192];
    std::string text;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return text;
}
}  // namespace

std::optional<std::int64_t> ParseMemAvailable(const std::string& meminfo) {
    // "MemAvailable:   23540980 kB", at the start of a line.
    static const std::string key = "MemAvailable:";
    for (std::size_t at = 0; at < meminfo.size();) {
        if (meminfo.compare(at, key.size(), key) == 0) {
            const char* start = meminfo.c_str() + at + key.size();
            char* end = nullptr;
            errno = 0;
            const long long kib = std::strtoll(start, &end, 10);
            if (end == start || errno != 0 || kib < 0) return std::nullopt;
            return std::int64_t(kib) * 1024;
        }
        const std::size_t next = meminfo.find('\n', at);
        if (next == std::string::npos) break;
        at = next + 1;
    }
    return std::nullopt;
}

std::optional<std::int64_t> AvailableMemory() {
    if (Source()) return Source()();
    // The machine's free memory, or less where a control group or an address-space limit
    // stops the process first: a cgroup's limit ends the process with no word, so a picture
    // must be refused before it gets there.
    std::optional<std::int64_t> available = ParseMemAvailable(ReadMeminfo());
    for (const std::optional<std::int64_t> limit : {CgroupHeadroom(), AddressSpaceHeadroom()})
        if (limit) available = available ? std::min(*available, *limit) : *limit;
    return available;
}

void SetAvailableMemorySource(std::function<std::optional<std::int64_t>()> source) { Source() = std::move(source); }

void CheckPictureFitsInMemory(std::int64_t width, std::int64_t height) {
    const std::int64_t needed = width * height * BytesPerOpenPixel;
    if (needed == 0) return;
    const std::optional<std::int64_t> available = AvailableMemory();
    if (available && needed > *available) throw ENotEnoughMemory(width, height);
}
