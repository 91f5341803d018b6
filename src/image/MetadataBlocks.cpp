#include "image/MetadataBlocks.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>

#include "image/Exif.h"

namespace {
constexpr char ExifHeader[] = "Exif\0";                       // six bytes with the terminator
constexpr char XmpHeader[] = "http://ns.adobe.com/xap/1.0/";  // 29 bytes with the terminator
constexpr char PhotoshopHeader[] = "Photoshop 3.0";               // 14 bytes with the terminator

template <std::size_t N>
bool StartsWith(const std::uint8_t* bytes, std::size_t size, const char (&prefix)[N]) {
    return size >= N && std::memcmp(bytes, prefix, N) == 0;
}

void AddSegment(PictureMetadata& metadata, const char* header, std::size_t headerSize, const std::uint8_t* body,
                std::size_t size, std::uint8_t marker = MarkerApp1) {
    std::vector<std::uint8_t> bytes(header, header + headerSize);
    bytes.insert(bytes.end(), body, body + size);
    metadata.Segments.push_back({marker, std::move(bytes)});
}

// The bytes after `header` of the first APP1 segment that starts with it.
template <std::size_t N>
std::vector<std::uint8_t> FirstBody(const PictureMetadata& metadata, const char (&header)[N]) {
    for (const MetadataSegment& segment : metadata.Segments)
        if (segment.Marker == MarkerApp1 && StartsWith(segment.Bytes.data(), segment.Bytes.size(), header))
            return std::vector<std::uint8_t>(segment.Bytes.data() + N, segment.Bytes.data() + segment.Bytes.size());
    return {};
}
}  // namespace

void AddExifBlock(PictureMetadata& metadata, const std::uint8_t* block, std::size_t size) {
    if (StartsWith(block, size, ExifHeader)) block += sizeof ExifHeader, size -= sizeof ExifHeader;
    if (size > 0) AddSegment(metadata, ExifHeader, sizeof ExifHeader, block, size);
}

void AddExifItem(PictureMetadata& metadata, const std::uint8_t* item, std::size_t size) {
    if (size < 4) return;
    const std::size_t skip = std::size_t(item[0]) << 24 | std::size_t(item[1]) << 16 | item[2] << 8 | item[3];
    if (skip < size - 4) AddExifBlock(metadata, item + 4 + skip, size - 4 - skip);
}

void AddXmpPacket(PictureMetadata& metadata, const std::uint8_t* packet, std::size_t size) {
    if (size > 0) AddSegment(metadata, XmpHeader, sizeof XmpHeader, packet, size);
}

void AddIccProfile(PictureMetadata& metadata, const std::uint8_t* profile, std::size_t size) {
    if (size == 0) return;
    std::vector<MetadataSegment> segments = IccSegments(profile, size);
    metadata.Segments.insert(metadata.Segments.end(), segments.begin(), segments.end());
}

void AddPhotoshopResources(PictureMetadata& metadata, const std::uint8_t* resources, std::size_t size) {
    constexpr std::size_t room = MaxSegmentBytes - sizeof PhotoshopHeader;
    for (std::size_t from = 0; from < size; from += room)
        AddSegment(metadata, PhotoshopHeader, sizeof PhotoshopHeader, resources + from, std::min(room, size - from),
                   MarkerApp13);
}

void FitXmpOrientation(MetadataSegment& segment, unsigned orientation) {
    const SharedBytes& bytes = segment.Bytes;
    if (segment.Marker != MarkerApp1 || !StartsWith(bytes.data(), bytes.size(), XmpHeader) || orientation < 1 ||
        orientation > 8)
        return;
    // The property is named with the prefix every writer binds to the TIFF namespace. Its value
    // follows `="`, `='` (with any spaces around the sign) or `>`, and is one digit from 1 to 8.
    constexpr std::string_view name = "tiff:Orientation";
    const std::uint8_t digit = std::uint8_t('0' + orientation);
    const std::uint8_t* const end = bytes.end();
    std::vector<std::size_t> stale;  // where a value says otherwise
    for (const std::uint8_t* at = std::search(bytes.begin() + sizeof XmpHeader, end, name.begin(), name.end());
         at != end; at = std::search(at + 1, end, name.begin(), name.end())) {
        const std::uint8_t* value = at + name.size();
        const auto skipSpaces = [&] {
            while (value != end && (*value == ' ' || *value == '\t')) ++value;
        };
        skipSpaces();
        if (value == end) break;
        if (*value == '=') {
            ++value;
            skipSpaces();
            if (value == end || (*value != '"' && *value != '\'')) continue;
        } else if (*value != '>') {
            continue;
        }
        ++value;
        if (end - value >= 2 && *value >= '1' && *value <= '8' && !std::isdigit(value[1]) && *value != digit)
            stale.push_back(std::size_t(value - bytes.begin()));
    }
    if (stale.empty()) return;  // unchanged segments stay shared
    std::vector<std::uint8_t> fitted(bytes.begin(), bytes.end());
    for (const std::size_t at : stale) fitted[at] = digit;
    segment.Bytes = std::move(fitted);
}

std::vector<std::uint8_t> ExifTiffOf(const PictureMetadata& metadata) { return FirstBody(metadata, ExifHeader); }

std::vector<std::uint8_t> XmpPacketOf(const PictureMetadata& metadata) { return FirstBody(metadata, XmpHeader); }

std::vector<std::uint8_t> PhotoshopResourcesOf(const PictureMetadata& metadata) {
    std::vector<std::uint8_t> resources;
    for (const MetadataSegment& segment : metadata.Segments)
        if (segment.Marker == MarkerApp13 && StartsWith(segment.Bytes.data(), segment.Bytes.size(), PhotoshopHeader))
            resources.insert(resources.end(), segment.Bytes.begin() + sizeof PhotoshopHeader, segment.Bytes.end());
    return resources;
}

SavedMetadata MetadataBlocksForSave(const PictureMetadata& metadata, int width, int height) {
    const PictureMetadata fitted = MetadataForSavedPicture(metadata, width, height);
    return {ExifTiffOf(fitted), XmpPacketOf(fitted), IccProfileOf(fitted), PhotoshopResourcesOf(fitted)};
}
