#include "image/MemoryLimits.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {
std::optional<std::int64_t> ParseBytes(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const char* start = text->c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(start, &end, 10);
    if (end == start || errno != 0 || value < 0) return std::nullopt;  // "max" among them
    return std::int64_t(value);
}

std::optional<std::int64_t> Smaller(std::optional<std::int64_t> a, std::optional<std::int64_t> b) {
    if (!a) return b;
    if (!b) return a;
    return std::min(*a, *b);
}

// The limit less usage of the group at `folder` and of every group above it up to `root`.
// A group path that is not under the mount (a container's own view) stands for the mount's
// root group, which is then the container's own.
std::optional<std::int64_t> Headroom(std::string root, std::string path, const char* limitFile, const char* usageFile,
                                     const TFileReader& read) {
    // cgroup v1 writes "no limit" as a number near 2^63, rounded down to a page.
    constexpr std::int64_t Unlimited = std::int64_t(1) << 62;
    if (!read(root + path + "/" + limitFile)) path.clear();
    std::optional<std::int64_t> headroom;
    for (;;) {
        const std::string folder = root + path;
        const std::optional<std::int64_t> limit = ParseBytes(read(folder + "/" + limitFile));
        const std::optional<std::int64_t> usage = ParseBytes(read(folder + "/" + usageFile));
        if (limit && *limit < Unlimited)
            headroom = Smaller(headroom, std::max<std::int64_t>(0, *limit - usage.value_or(0)));
        if (path.empty()) break;
        path.erase(path.rfind('/'));
    }
    return headroom;
}
}  // namespace

std::optional<std::int64_t> CgroupHeadroom(const std::string& procSelfCgroup, const std::string& mountRoot,
                                           const TFileReader& read) {
    // Lines "ID:CONTROLLERS:PATH": v2's has no controllers ("0::/a/b"), v1's memory line names
    // "memory" among them.
    std::optional<std::int64_t> headroom;
    std::istringstream lines(procSelfCgroup);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        if (path == "/") path.clear();
        if (controllers.empty()) {
            headroom = Smaller(headroom, Headroom(mountRoot, path, "memory.max", "memory.current", read));
        } else {
            std::istringstream names(controllers);
            for (std::string name; std::getline(names, name, ',');)
                if (name == "memory")
                    headroom = Smaller(headroom, Headroom(mountRoot + "/memory", path, "memory.limit_in_bytes",
                                                          "memory.usage_in_bytes", read));
        }
    }
    return headroom;
}

std::optional<std::int64_t> CgroupHeadroom() {
    const TFileReader read = [](const std::string& path) -> std::optional<std::string> {
        std::ifstream file(path);
        if (!file) return std::nullopt;
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    };
    const std::optional<std::string> own = read("/proc/self/cgroup");
    return own ? CgroupHeadroom(*own, "/sys/fs/cgroup", read) : std::nullopt;
}

std::optional<std::int64_t> AddressSpaceHeadroom() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    // The first field of /proc/self/statm is the address space in use, in pages.
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0;
    if (!(statm >> pages)) return std::nullopt;
    const std::int64_t used = pages * ::sysconf(_SC_PAGESIZE);
    return std::max<std::int64_t>(0, std::int64_t(limit.rlim_cur) - used);
}
