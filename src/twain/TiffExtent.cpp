#include "TiffExtent.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint16_t TagStripOffsets = 273, TagStripByteCounts = 279;
constexpr std::uint16_t TagTileOffsets = 324, TagTileByteCounts = 325;
constexpr std::uint16_t TypeShort = 3, TypeLong = 4;
// Past these the block is no picture the program would take: a classic TIFF addresses 4 GiB.
constexpr std::uint32_t MostEntries = 4096;
constexpr std::uint32_t MostPieces = 1u << 22;
constexpr std::uint64_t MostBytes = std::uint64_t(1) << 32;

// Bytes per value of each TIFF field type (0 for types the reader skips).
std::uint32_t TypeSize(std::uint16_t type) {
    static constexpr std::uint8_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < sizeof sizes ? sizes[type] : 0;
}

class TReader {
public:
    TReader(const std::uint8_t* data, bool bigEndian) : data_(data), bigEndian_(bigEndian) {}
    std::uint32_t Get(std::uint64_t at, int bytes) const {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const std::uint32_t byte = data_[at + std::uint64_t(i)];
            value |= bigEndian_ ? byte << (8 * (bytes - 1 - i)) : byte << (8 * i);
        }
        return value;
    }

private:
    const std::uint8_t* data_;
    bool bigEndian_;
};

struct TEntry {
    std::uint16_t Type = 0;
    std::uint32_t Count = 0;
    std::uint64_t ValuesAt = 0;  // inside the entry, or where its offset points
};
}  // namespace

bool IsTiffSignature(const std::uint8_t* data) {
    return std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0;
}

std::size_t TiffExtent(const std::uint8_t* data) {
    if (!IsTiffSignature(data)) return 0;
    const TReader read(data, data[0] == 'M');
    const std::uint64_t directory = read.Get(4, 4);
    if (directory < 8) return 0;
    const std::uint32_t entries = read.Get(directory, 2);
    if (entries == 0 || entries > MostEntries) return 0;
    std::uint64_t end = directory + 2 + 12 * std::uint64_t(entries) + 4;

    TEntry offsets, counts;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint64_t at = directory + 2 + 12 * std::uint64_t(i);
        TEntry entry;
        const std::uint16_t tag = std::uint16_t(read.Get(at, 2));
        entry.Type = std::uint16_t(read.Get(at + 2, 2));
        entry.Count = read.Get(at + 4, 4);
        const std::uint64_t bytes = std::uint64_t(TypeSize(entry.Type)) * entry.Count;
        entry.ValuesAt = bytes > 4 ? read.Get(at + 8, 4) : at + 8;
        if (bytes > 4) end = std::max(end, entry.ValuesAt + bytes);
        if (tag == TagStripOffsets || tag == TagTileOffsets) offsets = entry;
        if (tag == TagStripByteCounts || tag == TagTileByteCounts) counts = entry;
    }
    // The pixel data: each strip or tile from its offset for its byte count.
    const bool piecesUsable = offsets.Count == counts.Count && offsets.Count <= MostPieces &&
                              (offsets.Type == TypeShort || offsets.Type == TypeLong) &&
                              (counts.Type == TypeShort || counts.Type == TypeLong);
    if (!piecesUsable || offsets.Count == 0) return 0;
    const int offsetBytes = int(TypeSize(offsets.Type)), countBytes = int(TypeSize(counts.Type));
    for (std::uint32_t i = 0; i < offsets.Count; ++i) {
        const std::uint64_t start = read.Get(offsets.ValuesAt + std::uint64_t(i) * offsetBytes, offsetBytes);
        const std::uint64_t length = read.Get(counts.ValuesAt + std::uint64_t(i) * countBytes, countBytes);
        end = std::max(end, start + length);
    }
    return end <= MostBytes + MostBytes ? std::size_t(end) : 0;
}
