#include "image/Exif.h"

#include <memory>
#include <utility>

#include <libexif/exif-data.h>

#include "image/MetadataBlocks.h"

namespace {
// Every allocation of one block goes through one ExifMem, so that what libexif hands out
// (the saved bytes, entry data) is freed the same way.
struct ExifBlock {
    ExifMem* mem = exif_mem_new_default();
    ExifData* data = nullptr;

    ExifBlock(const std::uint8_t* bytes, std::size_t size) {
        if (!mem) return;
        data = exif_data_new_mem(mem);
        if (!data) return;
        // Keep every tag as it was: unknown and out-of-place tags are the camera's business.
        exif_data_unset_option(data, EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
        exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
        if (size > 0) exif_data_load_data(data, bytes, unsigned(size));
    }
    ~ExifBlock() {
        if (data) exif_data_unref(data);
        if (mem) exif_mem_unref(mem);
    }
    ExifBlock(const ExifBlock&) = delete;
    ExifBlock& operator=(const ExifBlock&) = delete;

    bool Loaded() const { return data && data->ifd[EXIF_IFD_0]->count > 0; }
    ExifByteOrder Order() const { return exif_data_get_byte_order(data); }
};

// The first value of a SHORT or LONG entry, or -1.
long long EntryValue(const ExifEntry* entry, ExifByteOrder order) {
    if (!entry || entry->components < 1 || !entry->data) return -1;
    if (entry->format == EXIF_FORMAT_SHORT && entry->size >= 2) return exif_get_short(entry->data, order);
    if (entry->format == EXIF_FORMAT_LONG && entry->size >= 4) return exif_get_long(entry->data, order);
    return -1;
}

// Gives an existing SHORT or LONG entry one value, widening a SHORT that cannot hold it.
void SetEntryValue(ExifBlock& block, ExifEntry* entry, unsigned value) {
    const ExifByteOrder order = block.Order();
    if (entry->format == EXIF_FORMAT_SHORT && value <= 0xFFFF && entry->size >= 2) {
        exif_set_short(entry->data, order, ExifShort(value));
        entry->components = 1;
        entry->size = 2;
        return;
    }
    auto* bytes = static_cast<unsigned char*>(exif_mem_alloc(block.mem, 4));
    if (!bytes) return;
    exif_mem_free(block.mem, entry->data);
    entry->data = bytes;
    entry->format = EXIF_FORMAT_LONG;
    entry->components = 1;
    entry->size = 4;
    exif_set_long(entry->data, order, value);
}

ExifEntry* Find(ExifBlock& block, ExifIfd ifd, ExifTag tag) {
    return exif_content_get_entry(block.data->ifd[ifd], tag);
}

bool HasThumbnail(const ExifBlock& block) {
    return block.data->data != nullptr || block.data->ifd[EXIF_IFD_1]->count > 0;
}

// The block for the saved picture; the bytes unchanged when nothing in them needs to change.
SharedBytes FitExif(const SharedBytes& bytes, int width, int height, unsigned stored) {
    ExifBlock block(bytes.data(), bytes.size());
    if (!block.Loaded()) return bytes;  // not readable by libexif: passed on as it came
    const ExifByteOrder order = block.Order();
    ExifEntry* orientation = Find(block, EXIF_IFD_0, EXIF_TAG_ORIENTATION);
    ExifEntry* pixelsX = Find(block, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION);
    ExifEntry* pixelsY = Find(block, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION);
    const bool turned = orientation && EntryValue(orientation, order) != stored;
    const bool resized =
        (pixelsX && EntryValue(pixelsX, order) != width) || (pixelsY && EntryValue(pixelsY, order) != height);
    if (!turned && !resized && !HasThumbnail(block)) return bytes;

    if (orientation) SetEntryValue(block, orientation, stored);
    if (pixelsX) SetEntryValue(block, pixelsX, unsigned(width));
    if (pixelsY) SetEntryValue(block, pixelsY, unsigned(height));
    if (block.data->data) {
        exif_mem_free(block.mem, block.data->data);
        block.data->data = nullptr;
        block.data->size = 0;
    }
    ExifContent* thumbnailIfd = block.data->ifd[EXIF_IFD_1];
    while (thumbnailIfd->count > 0) exif_content_remove_entry(thumbnailIfd, thumbnailIfd->entries[0]);

    unsigned char* saved = nullptr;
    unsigned int savedSize = 0;
    exif_data_save_data(block.data, &saved, &savedSize);
    if (!saved) return bytes;
    std::vector<std::uint8_t> result(saved, saved + savedSize);
    exif_mem_free(block.mem, saved);
    return result;
}

// A field's values in the block's byte order; false when they do not make whole components
// of a type EXIF has.
bool FillEntry(ExifEntry* entry, const ExifField& field, ExifByteOrder order, ExifMem* mem) {
    const auto format = ExifFormat(field.Type);
    const bool isRational = format == EXIF_FORMAT_RATIONAL || format == EXIF_FORMAT_SRATIONAL;
    const std::size_t perComponent = isRational ? 2 : 1;
    if (field.Type < EXIF_FORMAT_BYTE || field.Type > EXIF_FORMAT_SRATIONAL || field.Values.empty() ||
        field.Values.size() % perComponent != 0)
        return false;
    const unsigned size = exif_format_get_size(format);
    const std::size_t components = field.Values.size() / perComponent;
    entry->data = static_cast<unsigned char*>(exif_mem_alloc(mem, ExifLong(components * size)));
    if (!entry->data) return false;
    entry->tag = ExifTag(field.Tag);
    entry->format = format;
    entry->components = components;
    entry->size = unsigned(components * size);
    for (std::size_t i = 0; i < components; ++i) {
        unsigned char* at = entry->data + i * size;
        const std::int64_t v = field.Values[i * perComponent];
        switch (format) {
            case EXIF_FORMAT_SHORT: exif_set_short(at, order, ExifShort(v)); break;
            case EXIF_FORMAT_SSHORT: exif_set_sshort(at, order, ExifSShort(v)); break;
            case EXIF_FORMAT_LONG: exif_set_long(at, order, ExifLong(v)); break;
            case EXIF_FORMAT_SLONG: exif_set_slong(at, order, ExifSLong(v)); break;
            case EXIF_FORMAT_RATIONAL:
                exif_set_rational(at, order, {ExifLong(v), ExifLong(field.Values[i * 2 + 1])});
                break;
            case EXIF_FORMAT_SRATIONAL:
                exif_set_srational(at, order, {ExifSLong(v), ExifSLong(field.Values[i * 2 + 1])});
                break;
            default: *at = static_cast<unsigned char>(v);  // bytes, text, undefined
        }
    }
    return true;
}
}  // namespace

std::vector<std::uint8_t> MakeExifBlock(const std::vector<ExifField>& fields) {
    ExifBlock block(nullptr, 0);
    if (!block.data) return {};
    // Intel order, as most cameras write; libexif adds the directory pointers and sorts the tags.
    exif_data_set_byte_order(block.data, EXIF_BYTE_ORDER_INTEL);
    const ExifIfd places[] = {EXIF_IFD_0, EXIF_IFD_EXIF, EXIF_IFD_GPS};
    bool any = false;
    for (const ExifField& field : fields) {
        ExifContent* content = block.data->ifd[places[field.Place]];
        if (exif_content_get_entry(content, ExifTag(field.Tag))) continue;  // the first one counts
        ExifEntry* entry = exif_entry_new_mem(block.mem);
        if (!entry) return {};
        if (FillEntry(entry, field, EXIF_BYTE_ORDER_INTEL, block.mem)) {
            exif_content_add_entry(content, entry);
            any = true;
        }
        exif_entry_unref(entry);
    }
    if (!any) return {};
    unsigned char* saved = nullptr;
    unsigned int savedSize = 0;
    exif_data_save_data(block.data, &saved, &savedSize);
    if (!saved) return {};
    std::vector<std::uint8_t> result(saved, saved + savedSize);
    exif_mem_free(block.mem, saved);
    if (result.size() > MaxSegmentBytes) return {};
    return result;
}

std::vector<ExifField> ExifFieldsOf(const std::vector<std::uint8_t>& tiff) {
    if (tiff.empty()) return {};
    std::vector<std::uint8_t> bytes{'E', 'x', 'i', 'f', 0, 0};  // libexif looks for the JPEG header
    bytes.insert(bytes.end(), tiff.begin(), tiff.end());
    ExifBlock block(bytes.data(), bytes.size());
    if (!block.Loaded()) return {};
    const ExifByteOrder order = block.Order();
    const std::pair<ExifIfd, ExifField::Directory> places[] = {
        {EXIF_IFD_0, ExifField::Picture}, {EXIF_IFD_EXIF, ExifField::Exif}, {EXIF_IFD_GPS, ExifField::Gps}};
    std::vector<ExifField> fields;
    for (const auto& [ifd, place] : places) {
        const ExifContent* content = block.data->ifd[ifd];
        for (unsigned i = 0; i < content->count; ++i) {
            const ExifEntry* entry = content->entries[i];
            const unsigned size = exif_format_get_size(entry->format);
            const bool floating = entry->format == EXIF_FORMAT_FLOAT || entry->format == EXIF_FORMAT_DOUBLE;
            if (!entry->data || size == 0 || floating || entry->size < entry->components * size) continue;
            ExifField field{place, std::uint16_t(entry->tag), std::uint16_t(entry->format), {}};
            for (unsigned long c = 0; c < entry->components; ++c) {
                const unsigned char* at = entry->data + c * size;
                switch (entry->format) {
                    case EXIF_FORMAT_SHORT: field.Values.push_back(exif_get_short(at, order)); break;
                    case EXIF_FORMAT_SSHORT: field.Values.push_back(exif_get_sshort(at, order)); break;
                    case EXIF_FORMAT_LONG: field.Values.push_back(exif_get_long(at, order)); break;
                    case EXIF_FORMAT_SLONG: field.Values.push_back(exif_get_slong(at, order)); break;
                    case EXIF_FORMAT_RATIONAL: {
                        const ExifRational r = exif_get_rational(at, order);
                        field.Values.insert(field.Values.end(), {r.numerator, r.denominator});
                        break;
                    }
                    case EXIF_FORMAT_SRATIONAL: {
                        const ExifSRational r = exif_get_srational(at, order);
                        field.Values.insert(field.Values.end(), {r.numerator, r.denominator});
                        break;
                    }
                    case EXIF_FORMAT_SBYTE: field.Values.push_back(std::int8_t(*at)); break;
                    default: field.Values.push_back(*at);  // bytes, text, undefined
                }
            }
            if (!field.Values.empty()) fields.push_back(std::move(field));
        }
    }
    return fields;
}

int ExifOrientation(const PictureMetadata& metadata) {
    for (const MetadataSegment& segment : metadata.Segments) {
        if (!IsExifSegment(segment)) continue;
        ExifBlock block(segment.Bytes.data(), segment.Bytes.size());
        if (!block.Loaded()) return 1;
        const long long value = EntryValue(Find(block, EXIF_IFD_0, EXIF_TAG_ORIENTATION), block.Order());
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

PictureMetadata MetadataForSavedPicture(const PictureMetadata& metadata, int width, int height) {
    PictureMetadata saved = metadata;
    const int stored = metadata.StoredOrientation;
    const unsigned orientation = stored >= 1 && stored <= 8 ? unsigned(stored) : 1;
    for (MetadataSegment& segment : saved.Segments) {
        if (IsExifSegment(segment)) segment.Bytes = FitExif(segment.Bytes, width, height, orientation);
        FitXmpOrientation(segment, orientation);
    }
    return saved;
}
