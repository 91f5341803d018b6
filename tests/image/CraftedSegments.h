#pragma once
// JPEG metadata segments made byte by byte, for what no writer makes.
#include <cstdint>
#include <vector>

#include "image/PictureMetadata.h"

// `jpeg` with `segments` in front of its own, after the start marker.
inline std::vector<std::uint8_t> WithSegments(const std::vector<std::uint8_t>& jpeg,
                                              const std::vector<MetadataSegment>& segments) {
    std::vector<std::uint8_t> bytes(jpeg.begin(), jpeg.begin() + 2);
    for (const MetadataSegment& segment : segments) {
        const std::size_t length = segment.Bytes.size() + 2;
        bytes.insert(bytes.end(), {0xFF, segment.Marker, std::uint8_t(length >> 8), std::uint8_t(length)});
        bytes.insert(bytes.end(), segment.Bytes.begin(), segment.Bytes.end());
    }
    bytes.insert(bytes.end(), jpeg.begin() + 2, jpeg.end());
    return bytes;
}

// An EXIF block of orientation 6 whose three 30000-byte texts all point at the same bytes.
// Fitted to a picture it is written anew, each text in full: 90 KB, more than a segment holds.
inline std::vector<std::uint8_t> GrowingExifBlock() {
    constexpr std::uint32_t Text = 30000, At = 8 + 2 + 4 * 12 + 4;
    std::vector<std::uint8_t> bytes{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 4, 0};
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        for (const std::uint32_t v : {std::uint32_t(tag) | std::uint32_t(type) << 16, count, value})
            for (int shift = 0; shift < 32; shift += 8) bytes.push_back(std::uint8_t(v >> shift));
    };
    entry(0x0112, 3, 1, 6);                                                            // orientation
    for (const std::uint16_t tag : {0x010E, 0x013B, 0x8298}) entry(tag, 2, Text, At);  // texts
    bytes.insert(bytes.end(), 4, 0);                                                   // no next directory
    bytes.resize(bytes.size() + Text, 'x');
    bytes.back() = 0;
    return bytes;
}
