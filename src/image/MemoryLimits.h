#pragma once
// The limits a process meets before the machine's free memory runs out: its control group's
// memory limit (cgroup v2 or v1), which the kernel enforces by killing the process, and its
// address-space limit (RLIMIT_AS), which makes allocations fail.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Reads a whole small file (a cgroup or /proc file); nothing when it cannot be read.
using TFileReader = std::function<std::optional<std::string>(const std::string& path)>;

// The memory the process's control groups still allow, in bytes: the smallest limit less
// usage over its own group and every group above it, under `mountRoot` (/sys/fs/cgroup).
// `procSelfCgroup` is /proc/self/cgroup's text. Nothing when no group sets a limit.
std::optional<std::int64_t> CgroupHeadroom(const std::string& procSelfCgroup, const std::string& mountRoot,
                                           const TFileReader& read);

// The same for this process, from the real files.
std::optional<std::int64_t> CgroupHeadroom();

// What RLIMIT_AS still allows beyond the address space in use; nothing without a limit.
std::optional<std::int64_t> AddressSpaceHeadroom();
