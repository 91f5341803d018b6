#include "image/PictureMetadata.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr char ExifHeader[] = "Exif\0";                      // with its terminator: six bytes
constexpr char IccHeader[] = "ICC_PROFILE";                  // with its terminator: twelve bytes
constexpr std::size_t IccHeaderSize = sizeof IccHeader + 2;  // then chunk number and count
constexpr std::size_t IccChunkData = MaxSegmentBytes - IccHeaderSize;

bool StartsWith(const SharedBytes& bytes, const char* prefix, std::size_t size) {
    return bytes.size() >= size && std::memcmp(bytes.data(), prefix, size) == 0;
}
}  // namespace

bool IsCarriedMarker(int marker) {
    return marker == MarkerApp1 || marker == MarkerApp2 || marker == MarkerApp13 || marker == MarkerComment;
}

bool IsExifSegment(const MetadataSegment& segment) {
    return segment.Marker == MarkerApp1 && StartsWith(segment.Bytes, ExifHeader, sizeof ExifHeader);
}

bool IsIccSegment(const MetadataSegment& segment) {
    return segment.Marker == MarkerApp2 && StartsWith(segment.Bytes, IccHeader, sizeof IccHeader) &&
           segment.Bytes.size() >= IccHeaderSize;
}

std::vector<std::uint8_t> IccProfileOf(const PictureMetadata& metadata) {
    std::vector<const MetadataSegment*> chunks;
    for (const MetadataSegment& segment : metadata.Segments)
        if (IsIccSegment(segment)) chunks.push_back(&segment);
    if (chunks.empty()) return {};
    // Chunks are numbered from 1 to their count; any gap or mismatch means no usable profile.
    std::stable_sort(chunks.begin(), chunks.end(), [](const MetadataSegment* a, const MetadataSegment* b) {
        return a->Bytes[sizeof IccHeader] < b->Bytes[sizeof IccHeader];
    });
    std::vector<std::uint8_t> profile;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const SharedBytes& bytes = chunks[i]->Bytes;
        if (bytes[sizeof IccHeader] != i + 1 || bytes[sizeof IccHeader + 1] != chunks.size()) return {};
        profile.insert(profile.end(), bytes.begin() + IccHeaderSize, bytes.end());
    }
    return profile;
}

std::vector<MetadataSegment> IccSegments(const std::uint8_t* profile, std::size_t size) {
    std::size_t count = (size + IccChunkData - 1) / IccChunkData;
    const std::size_t chunkData = count > 255 ? size : IccChunkData;  // a chunk count is one byte
    if (count > 255) count = 1;
    std::vector<MetadataSegment> segments;
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<std::uint8_t> bytes(IccHeader, IccHeader + sizeof IccHeader);
        bytes.push_back(std::uint8_t(i + 1));
        bytes.push_back(std::uint8_t(count));
        const std::size_t from = i * chunkData, to = std::min(size, from + chunkData);
        bytes.insert(bytes.end(), profile + from, profile + to);
        segments.push_back({MarkerApp2, std::move(bytes)});
    }
    return segments;
}
