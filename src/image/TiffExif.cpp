#include "image/TiffExif.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "common/Errors.h"
#include "image/TiffStream.h"

namespace {
// EXIF fields that only a compressed picture has; a TIFF's own tags say what they would.
constexpr std::uint32_t CompressedOnlyTags[] = {EXIFTAG_COMPONENTSCONFIGURATION, EXIFTAG_COMPRESSEDBITSPERPIXEL,
                                                EXIFTAG_PIXELXDIMENSION, EXIFTAG_PIXELYDIMENSION};

// The picture directory's text tags that describe the photo rather than the file's layout; an
// EXIF block keeps them in its own picture directory.
constexpr std::uint32_t DescriptiveTags[] = {TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_MAKE,     TIFFTAG_MODEL,
                                             TIFFTAG_SOFTWARE,         TIFFTAG_DATETIME, TIFFTAG_ARTIST,
                                             TIFFTAG_COPYRIGHT};

// The simplest fraction within the precision libtiff kept the rational in (a float or a
// double), found by continued fractions, so that 1/125 stored as 0.008 is 1/125 again.
// False when the value has no fraction of 32-bit parts.
bool FractionOf(double value, bool inFloat, bool isSigned, std::int64_t& numerator, std::int64_t& denominator) {
    const double largest = isSigned ? 2147483647.0 : 4294967295.0;
    const double x = std::fabs(value);
    if (!std::isfinite(value) || x > largest || (value < 0 && !isSigned)) return false;
    const double tolerance = x * (inFloat ? 1e-7 : 1e-14);
    std::int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;  // the last two convergents h/k
    double rest = x;
    for (int step = 0; step < 64; ++step) {
        const double whole = std::floor(rest);
        const std::int64_t h2 = std::int64_t(whole) * h1 + h0, k2 = std::int64_t(whole) * k1 + k0;
        if (double(h2) > largest || double(k2) > largest) break;
        h0 = h1, h1 = h2, k0 = k1, k1 = k2;
        if (std::fabs(double(h1) / double(k1) - x) <= tolerance || rest - whole < 1e-300) break;
        rest = 1 / (rest - whole);
    }
    if (k1 == 0) return false;
    numerator = value < 0 ? -h1 : h1;
    denominator = k1;
    return true;
}

// The values of a tag in the current EXIF or GPS directory as libtiff gives them, which its
// field description decides: a count passed with the values, text, one value, or a fixed
// number of them. False when the tag is not there or its type has no EXIF form.
bool ReadExifField(TIFF* tif, std::uint32_t tag, ExifField& field) {
    const TIFFField* info = TIFFFieldWithTag(tif, tag);
    if (!info) return false;
    const TIFFDataType type = TIFFFieldDataType(info);
    const int readCount = TIFFFieldReadCount(info);
    std::uint32_t count = 0;
    const void* values = nullptr;
    alignas(8) unsigned char single[8] = {};
    if (TIFFFieldPassCount(info)) {
        if (readCount == TIFF_VARIABLE2) {
            if (!TIFFGetField(tif, tag, &count, &values)) return false;
        } else {
            std::uint16_t shortCount = 0;
            if (!TIFFGetField(tif, tag, &shortCount, &values)) return false;
            count = shortCount;
        }
    } else if (type == TIFF_ASCII) {
        const char* text = nullptr;
        if (!TIFFGetField(tif, tag, &text) || !text) return false;
        values = text;
        count = std::uint32_t(std::strlen(text) + 1);
    } else if (readCount == 1) {
        if (!TIFFGetField(tif, tag, single)) return false;
        values = single;
        count = 1;
    } else if (readCount > 1) {
        if (!TIFFGetField(tif, tag, &values)) return false;
        count = std::uint32_t(readCount);
    }
    // A JPEG segment holds 64 KB for the whole block; a field of more values cannot go with it.
    constexpr std::uint32_t LargestField = 65535;
    const int size = TIFFFieldSetGetSize(info);
    if (!values || count == 0 || count > LargestField) return false;
    auto take = [&](auto sample) {
        using Sample = decltype(sample);
        if (size != int(sizeof(Sample))) return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::memcpy(&sample, static_cast<const unsigned char*>(values) + i * sizeof(Sample), sizeof(Sample));
            field.Values.push_back(std::int64_t(sample));
        }
        return true;
    };
    field.Tag = std::uint16_t(tag);
    field.Type = std::uint16_t(type);
    field.Values.clear();
    switch (type) {
        case TIFF_BYTE:
        case TIFF_ASCII:
        case TIFF_UNDEFINED: return take(std::uint8_t{});
        case TIFF_SBYTE: return take(std::int8_t{});
        case TIFF_SHORT: return take(std::uint16_t{});
        case TIFF_SSHORT: return take(std::int16_t{});
        case TIFF_LONG: return take(std::uint32_t{});
        case TIFF_SLONG: return take(std::int32_t{});
        case TIFF_RATIONAL:
        case TIFF_SRATIONAL: {
            if (size != 4 && size != 8) return false;
            for (std::uint32_t i = 0; i < count; ++i) {
                const unsigned char* at = static_cast<const unsigned char*>(values) + i * std::size_t(size);
                double value = 0;
                if (size == 4) {
                    float f = 0;
                    std::memcpy(&f, at, 4);
                    value = f;
                } else {
                    std::memcpy(&value, at, 8);
                }
                std::int64_t numerator = 0, denominator = 1;
                if (!FractionOf(value, size == 4, type == TIFF_SRATIONAL, numerator, denominator)) return false;
                field.Values.push_back(numerator);
                field.Values.push_back(denominator);
            }
            return true;
        }
        default: return false;
    }
}

// The bytes a field takes in an EXIF block: its directory entry and its values.
std::size_t BytesInBlock(const ExifField& field) {
    const std::size_t perValue = field.Type == TIFF_SHORT || field.Type == TIFF_SSHORT ? 2
                                 : field.Type == TIFF_LONG || field.Type == TIFF_SLONG || field.Type == TIFF_RATIONAL ||
                                         field.Type == TIFF_SRATIONAL
                                     ? 4
                                     : 1;
    return 12 + field.Values.size() * perValue;
}


// ---- Writing -------------------------------------------------------------------------------

// libtiff's definition of the field's tag in the current directory. A tag it does not know
// gets one of the field's own type with a count of any size, as libtiff gives such tags when
// it reads them.
const TIFFField* DefinitionOf(TIFF* tif, const ExifField& field) {
    if (const TIFFField* known = TIFFFindField(tif, field.Tag, TIFF_ANY)) return known;
    static char name[] = "EXIF field";  // libtiff keeps the pointer
    const TIFFFieldInfo info{field.Tag, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFFDataType(field.Type), FIELD_CUSTOM,
                             1,         1,              name};
    if (TIFFMergeFieldInfo(tif, &info, 1) != 0) return nullptr;
    return TIFFFindField(tif, field.Tag, TIFF_ANY);
}

// One value as libtiff keeps the field's type, `size` bytes at `into`; false when it has no
// such form (a fraction in an integer field, a number out of the type's range).
bool StoreValue(const ExifField& field, std::size_t i, TIFFDataType type, int size, unsigned char* into) {
    const bool fraction = field.Type == TIFF_RATIONAL || field.Type == TIFF_SRATIONAL;
    if (type == TIFF_RATIONAL || type == TIFF_SRATIONAL || type == TIFF_FLOAT || type == TIFF_DOUBLE) {
        const std::int64_t denominator = fraction ? field.Values[2 * i + 1] : 1;
        if (denominator == 0) return false;
        const double value = double(field.Values[fraction ? 2 * i : i]) / double(denominator);
        if (size == 4) {
            const float single = float(value);
            std::memcpy(into, &single, 4);
        } else {
            std::memcpy(into, &value, 8);
        }
        return size == 4 || size == 8;
    }
    const std::int64_t value = field.Values[i];
    std::int64_t low = 0, high = 0;
    switch (type) {
        case TIFF_BYTE:
        case TIFF_UNDEFINED: high = 0xFF; break;
        case TIFF_SBYTE: low = -0x80, high = 0x7F; break;
        case TIFF_SHORT: high = 0xFFFF; break;
        case TIFF_SSHORT: low = -0x8000, high = 0x7FFF; break;
        case TIFF_LONG: high = 0xFFFFFFFF; break;
        case TIFF_SLONG: low = -0x80000000LL, high = 0x7FFFFFFF; break;
        default: return false;  // directory pointers and eight-byte numbers are not EXIF's
    }
    if (fraction || value < low || value > high || (size != 1 && size != 2 && size != 4)) return false;
    const std::uint32_t bits = std::uint32_t(value);
    if (size == 1) *into = std::uint8_t(bits);
    if (size == 2) {
        const std::uint16_t half = std::uint16_t(bits);
        std::memcpy(into, &half, 2);
    }
    if (size == 4) std::memcpy(into, &bits, 4);
    return true;
}

// Sets the field in the current directory in the form its libtiff definition asks for: text,
// a count with the values, a fixed number of values, or one value. False when it is left out.
bool SetExifField(TIFF* tif, const ExifField& field) {
    const TIFFField* info = DefinitionOf(tif, field);
    if (!info || field.Values.empty()) return false;
    const TIFFDataType type = TIFFFieldDataType(info);
    if (type == TIFF_ASCII) {
        if (field.Type != TIFF_ASCII) return false;
        std::string text(field.Values.begin(), field.Values.end());
        text.resize(std::strlen(text.c_str()));
        return TIFFFieldPassCount(info) ? TIFFSetField(tif, field.Tag, std::uint32_t(text.size() + 1), text.c_str())
                                        : TIFFSetField(tif, field.Tag, text.c_str());
    }
    const bool fraction = field.Type == TIFF_RATIONAL || field.Type == TIFF_SRATIONAL;
    const std::size_t count = field.Values.size() / (fraction ? 2 : 1);
    const int size = TIFFFieldSetGetSize(info), writeCount = TIFFFieldWriteCount(info);
    std::vector<unsigned char> values(count * std::size_t(std::max(size, 0)));
    for (std::size_t i = 0; i < count; ++i)
        if (!StoreValue(field, i, type, size, values.data() + i * std::size_t(size))) return false;
    if (TIFFFieldPassCount(info)) {
        if (writeCount == TIFF_VARIABLE2) return TIFFSetField(tif, field.Tag, std::uint32_t(count), values.data());
        return count <= 0xFFFF && TIFFSetField(tif, field.Tag, int(count), values.data());
    }
    if (writeCount > 1) return std::size_t(writeCount) == count && TIFFSetField(tif, field.Tag, values.data());
    if (count != 1) return false;
    if (writeCount != 1) return TIFFSetField(tif, field.Tag, values.data());  // one value, passed by address
    // One value, passed as C passes it to a function of variable arguments.
    switch (type) {
        case TIFF_LONG: return TIFFSetField(tif, field.Tag, std::uint32_t(field.Values[0]));
        case TIFF_SLONG: return TIFFSetField(tif, field.Tag, std::int32_t(field.Values[0]));
        case TIFF_RATIONAL:
        case TIFF_SRATIONAL:
        case TIFF_FLOAT:
        case TIFF_DOUBLE: {
            double value = 0;
            if (size == 4) {
                float single = 0;
                std::memcpy(&single, values.data(), 4);
                value = single;
            } else {
                std::memcpy(&value, values.data(), 8);
            }
            return TIFFSetField(tif, field.Tag, value);
        }
        default: return TIFFSetField(tif, field.Tag, int(field.Values[0]));
    }
}

// Writes the fields of one place as a custom directory; 0 when it has none.
toff_t WriteDirectory(TIFF* tif, const std::vector<ExifField>& fields, ExifField::Directory place,
                      TiffErrorLog& log) {
    if (std::none_of(fields.begin(), fields.end(), [&](const ExifField& f) { return f.Place == place; })) return 0;
    TIFFFreeDirectory(tif);  // libtiff's making of a directory does not free the one before
    if ((place == ExifField::Exif ? TIFFCreateEXIFDirectory(tif) : TIFFCreateGPSDirectory(tif)) != 0)
        FailTiffWrite(log, "its EXIF directory cannot be made");
    // A field libtiff refuses says so through the error handler; it is only left out.
    log.quiet = true;
    for (const ExifField& field : fields)
        if (field.Place == place &&
            std::find(std::begin(CompressedOnlyTags), std::end(CompressedOnlyTags), field.Tag) ==
                std::end(CompressedOnlyTags))
            SetExifField(tif, field);
    log.quiet = false;
    toff_t at = 0;
    if (!TIFFWriteCustomDirectory(tif, &at)) FailTiffWrite(log, "its EXIF directory cannot be written");
    return at;
}
}  // namespace

// A TIFF from a camera or a raw converter keeps its EXIF in directories of its own. They are
// made into an EXIF block, as a JPEG carries it, so that a JPEG saved from the picture keeps
// the date taken, the camera and the exposure.
void ReadTiffExif(TIFF* tif, int orientation, std::uint32_t width, std::uint32_t height, PictureMetadata& metadata) {
    toff_t exifAt = 0, gpsAt = 0;
    TIFFGetField(tif, TIFFTAG_EXIFIFD, &exifAt);
    TIFFGetField(tif, TIFFTAG_GPSIFD, &gpsAt);
    if (exifAt == 0 && gpsAt == 0) return;
    // One JPEG segment holds the block: a field that does not fit beside those before it is
    // left out (a large maker note, say), so the rest still goes with the picture. This also
    // bounds what is copied from a hostile directory of thousands of large fields.
    constexpr std::size_t Room = 65000;
    std::size_t used = 0;
    std::vector<ExifField> fields;
    auto add = [&](ExifField field) {
        const std::size_t bytes = BytesInBlock(field);
        if (used + bytes > Room) return;
        used += bytes;
        fields.push_back(std::move(field));
    };
    add({ExifField::Picture, TIFFTAG_ORIENTATION, TIFF_SHORT, {orientation}});
    add({ExifField::Exif, EXIFTAG_PIXELXDIMENSION, TIFF_LONG, {width}});
    add({ExifField::Exif, EXIFTAG_PIXELYDIMENSION, TIFF_LONG, {height}});
    for (const std::uint32_t tag : DescriptiveTags) {
        const char* text = nullptr;
        if (!TIFFGetField(tif, tag, &text) || !text) continue;
        const std::size_t length = std::strlen(text) + 1;
        if (used + 12 + length <= Room)
            add({ExifField::Picture, std::uint16_t(tag), TIFF_ASCII, std::vector<std::int64_t>(text, text + length)});
    }
    auto readDirectory = [&](ExifField::Directory place) {
        for (int i = 0, n = TIFFGetTagListCount(tif); i < n; ++i) {
            ExifField field;
            field.Place = place;
            const std::uint32_t tag = TIFFGetTagListEntry(tif, i);
            // The dimensions are the picture's (above); libexif makes the directory pointers.
            if (tag == EXIFTAG_PIXELXDIMENSION || tag == EXIFTAG_PIXELYDIMENSION ||
                tag == TIFFTAG_INTEROPERABILITYIFD || tag > 0xFFFF)
                continue;
            if (ReadExifField(tif, tag, field)) add(std::move(field));
        }
    };
    if (exifAt != 0 && TIFFReadEXIFDirectory(tif, exifAt)) readDirectory(ExifField::Exif);
    if (gpsAt != 0 && TIFFReadGPSDirectory(tif, gpsAt)) readDirectory(ExifField::Gps);
    std::vector<std::uint8_t> block = MakeExifBlock(fields);
    if (!block.empty())
        metadata.Segments.insert(metadata.Segments.begin(), MetadataSegment{MarkerApp1, std::move(block)});
}

TiffExifPlaces WriteTiffExifDirectories(TIFF* tif, const std::vector<ExifField>& fields, TiffErrorLog& log) {
    TiffExifPlaces places;
    places.Exif = WriteDirectory(tif, fields, ExifField::Exif, log);
    places.Gps = WriteDirectory(tif, fields, ExifField::Gps, log);
    if (places.Exif != 0 || places.Gps != 0) {
        TIFFFreeDirectory(tif);
        TIFFCreateDirectory(tif);
    }
    return places;
}

void SetTiffExifTags(TIFF* tif, const std::vector<ExifField>& fields, const TiffExifPlaces& places) {
    for (const ExifField& field : fields)
        if (field.Place == ExifField::Picture && field.Type == TIFF_ASCII &&
            std::find(std::begin(DescriptiveTags), std::end(DescriptiveTags), field.Tag) != std::end(DescriptiveTags))
            SetExifField(tif, field);
    if (places.Exif != 0) TIFFSetField(tif, TIFFTAG_EXIFIFD, places.Exif);
    if (places.Gps != 0) TIFFSetField(tif, TIFFTAG_GPSIFD, places.Gps);
}
