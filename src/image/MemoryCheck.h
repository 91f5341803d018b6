#pragma once
// Whether a new picture fits in the memory the system has free, asked before it is allocated.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What a picture of one pixel costs while it is open: the picture and its undo copy at
// 3 bytes each, and the window's 32-bit view of it.
constexpr std::int64_t BytesPerOpenPixel = 3 + 3 + 4;

// The "MemAvailable" line of /proc/meminfo's text, in bytes; nothing when there is none.
std::optional<std::int64_t> ParseMemAvailable(const std::string& meminfo);

// The memory available now, in bytes: the system's MemAvailable, or the headroom of the
// process's control group or address-space limit where that is smaller; nothing when none can
// be read (no /proc, or a kernel without the line), and then no picture is refused for memory.
std::optional<std::int64_t> AvailableMemory();

// A seam for tests: answers in place of /proc/meminfo while set; nullptr restores it.
void SetAvailableMemorySource(std::function<std::optional<std::int64_t>()> source);

// Throws ENotEnoughMemory when a width x height picture, its undo copy and its view would
// not fit in the available memory. Sizes must already be within the size bound.
void CheckPictureFitsInMemory(std::int64_t width, std::int64_t height);
