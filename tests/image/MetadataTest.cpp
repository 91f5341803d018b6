// Metadata carried from an opened JPEG (or TIFF) to a saved JPEG: EXIF fields, ICC profile,
// XMP, IPTC and comments, with orientation, pixel dimensions and thumbnail made fit for the
// saved picture. EXIF is read back with libexif itself.
#include <gtest/gtest.h>
#include <libexif/exif-data.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <set>
#include <tuple>

#include "CraftedSegments.h"
#include "image/Exif.h"
#include "image/Jpeg.h"
#include "image/MetadataBlocks.h"
#include "image/PictureFile.h"
#include "image/PictureMetadata.h"
#include "SampleFiles.h"

namespace {
// Every EXIF field by (IFD, tag): format, count and raw value bytes.
using FieldKey = std::pair<int, int>;
using FieldValue = std::tuple<int, unsigned long, std::vector<std::uint8_t>>;

struct ExifView {
    std::map<FieldKey, FieldValue> fields;
    bool thumbnail = false;
    bool found = false;
};

ExifView ReadExif(const PictureMetadata& metadata) {
    ExifView view;
    for (const MetadataSegment& segment : metadata.Segments) {
        if (!IsExifSegment(segment)) continue;
        ExifData* data = exif_data_new();
        exif_data_unset_option(data, EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
        exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
        exif_data_load_data(data, segment.Bytes.data(), unsigned(segment.Bytes.size()));
        for (int ifd = 0; ifd < EXIF_IFD_COUNT; ++ifd) {
            ExifContent* content = data->ifd[ifd];
            for (unsigned i = 0; i < content->count; ++i) {
                const ExifEntry* e = content->entries[i];
                view.fields[{ifd, e->tag}] = {e->format, e->components, {e->data, e->data + e->size}};
            }
        }
        view.thumbnail = data->data != nullptr || data->ifd[EXIF_IFD_1]->count > 0;
        view.found = true;
        exif_data_unref(data);
        break;
    }
    return view;
}

unsigned long FieldNumber(const ExifView& view, int ifd, int tag) {
    const auto found = view.fields.find({ifd, tag});
    if (found == view.fields.end()) return 0;
    const auto& [format, count, bytes] = found->second;
    // The samples are little-endian ("II") files; a big-endian one would read reversed here.
    unsigned long value = 0;
    for (std::size_t i = 0; i < (format == EXIF_FORMAT_SHORT ? 2u : 4u) && i < bytes.size(); ++i)
        value |= static_cast<unsigned long>(bytes[i]) << (8 * i);
    return value;
}

std::string FieldText(const ExifView& view, int ifd, int tag) {
    const auto found = view.fields.find({ifd, tag});
    if (found == view.fields.end()) return "(none)";
    const std::vector<std::uint8_t>& bytes = std::get<2>(found->second);
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
}

// The rationals of a field as numerator / denominator (little-endian blocks only).
std::vector<double> FieldRatios(const ExifView& view, int ifd, int tag, bool isSigned = false) {
    std::vector<double> ratios;
    const auto found = view.fields.find({ifd, tag});
    if (found == view.fields.end()) return ratios;
    const std::vector<std::uint8_t>& bytes = std::get<2>(found->second);
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        std::uint32_t numerator = 0, denominator = 0;
        std::memcpy(&numerator, &bytes[i], 4);
        std::memcpy(&denominator, &bytes[i + 4], 4);
        ratios.push_back(isSigned ? double(std::int32_t(numerator)) / std::int32_t(denominator)
                                  : double(numerator) / denominator);
    }
    return ratios;
}

// A 4 x 3 TIFF whose EXIF directory `fill` sets, written with libtiff; the JPEG saved from it
// gives the EXIF block made from that directory.
template <typename Fill>
ExifView ExifCarriedFromTiff(Fill fill) {
    ScratchFolder scratch;
    const std::string path = scratch / "camera.tif";
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 3);
    TIFFSetField(tif, TIFFTAG_EXIFIFD, toff_t(0));  // a place for the offset, filled in below
    std::uint8_t pixels[12] = {};
    TIFFWriteEncodedStrip(tif, 0, pixels, sizeof pixels);
    TIFFWriteDirectory(tif);
    TIFFCreateEXIFDirectory(tif);
    fill(tif);
    toff_t exifAt = 0;
    TIFFWriteCustomDirectory(tif, &exifAt);
    TIFFSetDirectory(tif, 0);
    TIFFSetField(tif, TIFFTAG_EXIFIFD, exifAt);
    TIFFRewriteDirectory(tif);
    TIFFClose(tif);

    const LoadedPicture opened = LoadPictureFile(path, PictureFormat::Tiff);
    EXPECT_EQ(opened.Picture.Width(), 4);
    const std::vector<std::uint8_t> saved = EncodeJpeg(opened.Picture, 90, opened.Metadata);
    PictureMetadata reread;
    DecodeJpeg(saved.data(), saved.size(), reread);
    return ReadExif(reread);
}

std::vector<MetadataSegment> OtherThanExif(const PictureMetadata& metadata) {
    std::vector<MetadataSegment> others;
    for (const MetadataSegment& segment : metadata.Segments)
        if (!IsExifSegment(segment)) others.push_back(segment);
    return others;
}

// A stand-in for a filter and a crop: every pixel changed, the size smaller.
Bitmap FilteredAndCropped(const Bitmap& picture) {
    Bitmap result(picture.Width() - 10, picture.Height() - 6);
    for (int y = 0; y < result.Height(); ++y)
        for (int x = 0; x < result.Width(); ++x) {
            const PackedColor c = picture.GetColor(x + 3, y + 2);
            result.SetColor(x, y, PackColor(255 - RedOf(c), 255 - GreenOf(c), 255 - BlueOf(c)));
        }
    return result;
}

bool IsLittleEndianExif(const PictureMetadata& metadata) {
    for (const MetadataSegment& segment : metadata.Segments)
        if (IsExifSegment(segment)) return segment.Bytes.size() > 7 && segment.Bytes[6] == 'I';
    return true;
}

// Every EXIF field of the picture, EXIF and GPS directories by (directory, tag), as numbers in
// any byte order: a fraction as its value.
std::map<FieldKey, std::vector<double>> ExifValues(const PictureMetadata& metadata) {
    std::map<FieldKey, std::vector<double>> values;
    for (const ExifField& field : ExifFieldsOf(ExifTiffOf(metadata))) {
        std::vector<double>& numbers = values[{int(field.Place), field.Tag}];
        const bool fraction = field.Type == EXIF_FORMAT_RATIONAL || field.Type == EXIF_FORMAT_SRATIONAL;
        for (std::size_t i = 0; i < field.Values.size(); i += fraction ? 2 : 1)
            numbers.push_back(fraction ? double(field.Values[i]) / double(field.Values[i + 1]) : double(field.Values[i]));
    }
    return values;
}
}  // namespace

class CarriedMetadata : public testing::TestWithParam<std::string> {};

TEST_P(CarriedMetadata, SurvivesOpenFilterAndSave) {
    ScratchFolder scratch;
    const LoadedPicture opened = LoadPictureFile(SamplePath(GetParam()), PictureFormat::Jpeg);
    ASSERT_FALSE(opened.Metadata.Segments.empty());
    const Bitmap saved = FilteredAndCropped(opened.Picture);
    const std::string path = scratch / "saved.jpg";
    SavePicture(path, saved, PictureFormat::Jpeg, opened.Metadata);
    const LoadedPicture reopened = LoadPictureFile(path, PictureFormat::Jpeg, OrientationRule::AsStored);
    EXPECT_EQ(reopened.Picture.Width(), saved.Width());

    // ICC, XMP, IPTC and comments: byte for byte, in order.
    EXPECT_EQ(OtherThanExif(reopened.Metadata), OtherThanExif(opened.Metadata));
    EXPECT_EQ(IccProfileOf(reopened.Metadata), IccProfileOf(opened.Metadata));

    const ExifView before = ReadExif(opened.Metadata), after = ReadExif(reopened.Metadata);
    ASSERT_EQ(after.found, before.found);
    if (!before.found) return;
    EXPECT_FALSE(after.thumbnail);
    // Every field but the three that describe the pixels is as it was.
    const std::set<FieldKey> fitted = {{EXIF_IFD_0, EXIF_TAG_ORIENTATION},
                                       {EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION},
                                       {EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION}};
    for (const auto& [key, value] : before.fields) {
        if (key.first == EXIF_IFD_1 || fitted.count(key)) continue;
        const auto found = after.fields.find(key);
        ASSERT_NE(found, after.fields.end()) << "lost: IFD " << key.first << " tag " << key.second;
        EXPECT_EQ(found->second, value) << "changed: IFD " << key.first << " tag " << key.second;
    }
    if (!IsLittleEndianExif(reopened.Metadata)) return;
    if (before.fields.count({EXIF_IFD_0, EXIF_TAG_ORIENTATION}))
        EXPECT_EQ(FieldNumber(after, EXIF_IFD_0, EXIF_TAG_ORIENTATION), 1u);
    if (before.fields.count({EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION})) {
        EXPECT_EQ(FieldNumber(after, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION), unsigned(saved.Width()));
        EXPECT_EQ(FieldNumber(after, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION), unsigned(saved.Height()));
    }
    // Saved again, nothing changes any more.
    const std::string again = scratch / "again.jpg";
    SavePicture(again, reopened.Picture, PictureFormat::Jpeg, reopened.Metadata);
    EXPECT_EQ(LoadPictureFile(again, PictureFormat::Jpeg).Metadata, reopened.Metadata);
}

INSTANTIATE_TEST_SUITE_P(Photos, CarriedMetadata,
                         testing::Values("photos/exif-72dpi-int.jpg", "photos/hopper_orientation_6.jpg",
                                         "photos/iptc.jpg", "photos/cat.jpg", "photos/pil_sample_cmyk.jpg",
                                         "orientation/Landscape_8.jpg"),
                         [](const auto& info) { return SampleTestName(info.param); });

// The photo of the report: 12 fields describe it, 4 more its thumbnail, which goes.
TEST(Metadata, TheCameraFieldsOfAPhotoAreAllKept) {
    const LoadedPicture opened = LoadPictureFile(SamplePath("photos/exif-72dpi-int.jpg"), PictureFormat::Jpeg);
    const std::vector<std::uint8_t> saved = EncodeJpeg(opened.Picture, 90, opened.Metadata);
    PictureMetadata reread;
    DecodeJpeg(saved.data(), saved.size(), reread);
    const ExifView before = ReadExif(opened.Metadata), after = ReadExif(reread);
    EXPECT_TRUE(before.thumbnail);
    std::size_t described = 0;
    for (const auto& [key, value] : before.fields) described += key.first != EXIF_IFD_1;
    EXPECT_GE(described, 12u);
    EXPECT_EQ(after.fields.size(), described);
}

// A turned photo, saved, opens the same way again: upright pixels and orientation 1.
TEST(Metadata, ASavedPhoneShotStaysUpright) {
    ScratchFolder scratch;
    const LoadedPicture opened = LoadPictureFile(SamplePath("orientation/Landscape_6.jpg"), PictureFormat::Jpeg);
    const std::string path = scratch / "upright.jpg";
    SavePicture(path, opened.Picture, PictureFormat::Jpeg, opened.Metadata);
    const LoadedPicture reopened = LoadPictureFile(path, PictureFormat::Jpeg);
    EXPECT_EQ(ExifOrientation(reopened.Metadata), 1);
    EXPECT_EQ(reopened.Picture.Width(), 400);  // stored 267 x 400, shown landscape
    EXPECT_EQ(LoadPictureFile(path, PictureFormat::Jpeg, OrientationRule::AsStored).Picture.Width(), 400);
}

// An XMP packet's orientation says what the saved EXIF block says, or a viewer that reads XMP
// turns an upright picture again; only a one-digit value of that property is touched.
TEST(Metadata, TheXmpOrientationAgreesWithTheSavedExif) {
    const struct {
        std::string packet;
        int stored;
        std::string saved;
    } cases[] = {
        {R"(<r tiff:Orientation="6" tiff:Make="x"/>)", 1, R"(<r tiff:Orientation="1" tiff:Make="x"/>)"},
        {"<r tiff:Orientation = '8'/>", 3, "<r tiff:Orientation = '3'/>"},
        {"<tiff:Orientation>6</tiff:Orientation>", 1, "<tiff:Orientation>1</tiff:Orientation>"},
        {R"(<r tiff:Orientation="12"/><r tiff:OrientationX="6"/><r exif:Orientation="6"/>)", 1,
         R"(<r tiff:Orientation="12"/><r tiff:OrientationX="6"/><r exif:Orientation="6"/>)"},
        {R"(<r tiff:Orientation="6)", 1, R"(<r tiff:Orientation="6)"},
    };
    for (const auto& c : cases) {
        PictureMetadata metadata;
        AddXmpPacket(metadata, reinterpret_cast<const std::uint8_t*>(c.packet.data()), c.packet.size());
        metadata.StoredOrientation = c.stored;
        const std::vector<std::uint8_t> saved = XmpPacketOf(MetadataForSavedPicture(metadata, 10, 10));
        EXPECT_EQ(std::string(saved.begin(), saved.end()), c.saved) << c.packet;
    }
}

// Pixels kept as stored keep the orientation that turns them; pixels turned upright say 1.
// Either way the saved file opens upright in a viewer.
TEST(Metadata, SavedOrientationFollowsWhetherThePixelsWereTurned) {
    const struct {
        const char* file;
        PictureFormat from, to;
    } cases[] = {
        {"orientation/Landscape_6.jpg", PictureFormat::Jpeg, PictureFormat::Jpeg},
        {"orientation/Landscape_3.jpg", PictureFormat::Jpeg, PictureFormat::Jpeg},
        {"orientation/Landscape_8.jpg", PictureFormat::Jpeg, PictureFormat::Tiff},
        {"tiff/rgb8_lzw_orientation6.tif", PictureFormat::Tiff, PictureFormat::Tiff},
    };
    ScratchFolder scratch;
    for (const auto& c : cases) {
        const LoadedPicture upright = LoadPictureFile(SamplePath(c.file), c.from);
        for (const OrientationRule rule : {OrientationRule::Upright, OrientationRule::AsStored}) {
            const bool kept = rule == OrientationRule::AsStored;
            const LoadedPicture opened = LoadPictureFile(SamplePath(c.file), c.from, rule);
            const std::string path = scratch / (c.to == PictureFormat::Jpeg ? "saved.jpg" : "saved.tif");
            SavePicture(path, opened.Picture, c.to, opened.Metadata);
            const LoadedPicture stored = LoadPictureFile(path, c.to, OrientationRule::AsStored);
            EXPECT_EQ(stored.Picture.Width(), opened.Picture.Width()) << c.file << " kept " << kept;
            EXPECT_EQ(stored.Metadata.StoredOrientation, kept ? opened.Metadata.StoredOrientation : 1)
                << c.file << " kept " << kept;
            if (c.to == PictureFormat::Jpeg)
                EXPECT_EQ(ExifOrientation(stored.Metadata), kept ? opened.Metadata.StoredOrientation : 1) << c.file;
            const Bitmap shown = LoadPictureFile(path, c.to).Picture;
            EXPECT_EQ(shown.Width(), upright.Picture.Width()) << c.file << " kept " << kept;
            EXPECT_EQ(shown.Height(), upright.Picture.Height()) << c.file << " kept " << kept;
        }
    }
}

// A camera TIFF keeps its EXIF in directories of its own; a JPEG saved from it carries them as
// an EXIF block: the camera, the dates, the exposure and the place, with the orientation of
// the saved pixels, their dimensions and no thumbnail. A TIFF without EXIF gives no block.
TEST(Metadata, ATiffsExifGoesToTheSavedJpeg) {
    ScratchFolder scratch;
    const std::string tiff = SamplePath("tiff/rgb8_exif_orientation6.tif");
    for (const OrientationRule rule : {OrientationRule::Upright, OrientationRule::AsStored}) {
        const bool kept = rule == OrientationRule::AsStored;
        const LoadedPicture opened = LoadPictureFile(tiff, PictureFormat::Tiff, rule);
        const Bitmap saved = FilteredAndCropped(opened.Picture);
        const std::string path = scratch / "from-tiff.jpg";
        SavePicture(path, saved, PictureFormat::Jpeg, opened.Metadata);
        const LoadedPicture reopened = LoadPictureFile(path, PictureFormat::Jpeg, OrientationRule::AsStored);
        const ExifView exif = ReadExif(reopened.Metadata);
        ASSERT_TRUE(exif.found) << "kept " << kept;
        EXPECT_TRUE(IsLittleEndianExif(reopened.Metadata));
        EXPECT_FALSE(exif.thumbnail);
        EXPECT_EQ(FieldText(exif, EXIF_IFD_0, EXIF_TAG_MAKE), "Corvalux Test Camera");
        EXPECT_EQ(FieldText(exif, EXIF_IFD_0, EXIF_TAG_MODEL), "Model 7");
        EXPECT_EQ(FieldText(exif, EXIF_IFD_0, EXIF_TAG_DATE_TIME), "2024:05:18 09:00:00");
        EXPECT_EQ(FieldText(exif, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL), "2024:05:17 14:32:10");
        EXPECT_EQ(FieldRatios(exif, EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME), std::vector<double>{1.0 / 125});
        EXPECT_EQ(FieldRatios(exif, EXIF_IFD_EXIF, EXIF_TAG_FNUMBER), std::vector<double>{5.6});
        EXPECT_EQ(FieldRatios(exif, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH), std::vector<double>{35});
        EXPECT_EQ(FieldNumber(exif, EXIF_IFD_EXIF, EXIF_TAG_ISO_SPEED_RATINGS), 200u);
        EXPECT_EQ(FieldNumber(exif, EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_PROGRAM), 3u);
        EXPECT_EQ(FieldRatios(exif, EXIF_IFD_GPS, EXIF_TAG_GPS_LATITUDE), (std::vector<double>{48, 51, 30.24}));
        EXPECT_EQ(FieldText(exif, EXIF_IFD_GPS, EXIF_TAG_GPS_LATITUDE_REF), "N");
        EXPECT_EQ(FieldNumber(exif, EXIF_IFD_0, EXIF_TAG_ORIENTATION), kept ? 6u : 1u);
        EXPECT_EQ(FieldNumber(exif, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION), unsigned(saved.Width()));
        EXPECT_EQ(FieldNumber(exif, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION), unsigned(saved.Height()));
        // The structure of the TIFF's own picture is not the JPEG's.
        for (const int tag : {EXIF_TAG_STRIP_OFFSETS, EXIF_TAG_COMPRESSION, EXIF_TAG_BITS_PER_SAMPLE})
            EXPECT_EQ(exif.fields.count({EXIF_IFD_0, tag}), 0u) << tag;
        // Saved again, the block stays as it is.
        const std::string again = scratch / "again.jpg";
        SavePicture(again, reopened.Picture, PictureFormat::Jpeg, reopened.Metadata);
        EXPECT_EQ(LoadPictureFile(again, PictureFormat::Jpeg, OrientationRule::AsStored).Metadata, reopened.Metadata);
    }
    const LoadedPicture plain = LoadPictureFile(SamplePath("tiff/rgb8_lzw.tif"), PictureFormat::Tiff);
    EXPECT_FALSE(ReadExif(plain.Metadata).found);
}

// Each way libtiff hands over a field (one value, a fixed count, a count with the values,
// text; rationals kept as float or double) gives the field's own values in the JPEG.
TEST(Metadata, EveryKindOfTiffExifFieldKeepsItsValues) {
    const std::uint8_t comment[] = {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i'};
    const ExifView exif = ExifCarriedFromTiff([&](TIFF* tif) {
        TIFFSetField(tif, EXIFTAG_EXPOSURETIME, 1.0 / 60);
        TIFFSetField(tif, EXIFTAG_EXPOSUREBIASVALUE, -2.0 / 3);
        TIFFSetField(tif, EXIFTAG_EXPOSUREPROGRAM, 2);
        const std::uint16_t iso[] = {400}, area[] = {10, 20, 30, 40};
        TIFFSetField(tif, EXIFTAG_ISOSPEEDRATINGS, 1, iso);
        TIFFSetField(tif, EXIFTAG_SUBJECTAREA, 4, area);
        const float lensF[] = {24, 70, 2.8f, 4};
        const double lensD[] = {24, 70, 2.8, 4};
        const TIFFField* lens = TIFFFieldWithTag(tif, EXIFTAG_LENSSPECIFICATION);
        if (TIFFFieldSetGetSize(lens) == 8)
            TIFFSetField(tif, EXIFTAG_LENSSPECIFICATION, lensD);
        else
            TIFFSetField(tif, EXIFTAG_LENSSPECIFICATION, lensF);
        const std::uint8_t version[] = {'0', '2', '3', '1'};
        TIFFSetField(tif, EXIFTAG_EXIFVERSION, version);
        TIFFSetField(tif, EXIFTAG_DATETIMEORIGINAL, "2023:01:02 03:04:05");
        TIFFSetField(tif, EXIFTAG_USERCOMMENT, int(sizeof comment), comment);
    });
    ASSERT_TRUE(exif.found);
    EXPECT_EQ(FieldRatios(exif, EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME), std::vector<double>{1.0 / 60});
    EXPECT_EQ(FieldRatios(exif, EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_BIAS_VALUE, true), std::vector<double>{-2.0 / 3});
    EXPECT_EQ(FieldNumber(exif, EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_PROGRAM), 2u);
    EXPECT_EQ(FieldNumber(exif, EXIF_IFD_EXIF, EXIF_TAG_ISO_SPEED_RATINGS), 400u);
    const auto area = exif.fields.find({EXIF_IFD_EXIF, EXIF_TAG_SUBJECT_AREA});
    ASSERT_NE(area, exif.fields.end());
    EXPECT_EQ(std::get<2>(area->second), (std::vector<std::uint8_t>{10, 0, 20, 0, 30, 0, 40, 0}));
    EXPECT_EQ(FieldRatios(exif, EXIF_IFD_EXIF, EXIF_TAG_LENS_SPECIFICATION), (std::vector<double>{24, 70, 2.8, 4}));
    EXPECT_EQ(FieldText(exif, EXIF_IFD_EXIF, EXIF_TAG_EXIF_VERSION), "0231");
    EXPECT_EQ(FieldText(exif, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL), "2023:01:02 03:04:05");
    const auto userComment = exif.fields.find({EXIF_IFD_EXIF, EXIF_TAG_USER_COMMENT});
    ASSERT_NE(userComment, exif.fields.end());
    EXPECT_EQ(std::get<2>(userComment->second), std::vector<std::uint8_t>(comment, comment + sizeof comment));
    EXPECT_EQ(FieldNumber(exif, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION), 4u);
    EXPECT_EQ(FieldNumber(exif, EXIF_IFD_0, EXIF_TAG_ORIENTATION), 1u);
}

// Fields too large to go into one JPEG segment beside the others are left out; the rest of
// the EXIF still goes with the picture.
TEST(Metadata, ATiffsLargeExifFieldsGiveWayToTheRest) {
    const std::vector<std::uint8_t> large(40000, 7);
    const ExifView exif = ExifCarriedFromTiff([&](TIFF* tif) {
        TIFFSetField(tif, EXIFTAG_DATETIMEORIGINAL, "2023:01:02 03:04:05");
        TIFFSetField(tif, EXIFTAG_MAKERNOTE, int(large.size()), large.data());
        TIFFSetField(tif, EXIFTAG_USERCOMMENT, int(large.size()), large.data());
    });
    ASSERT_TRUE(exif.found);
    EXPECT_EQ(FieldText(exif, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL), "2023:01:02 03:04:05");
    EXPECT_EQ(exif.fields.count({EXIF_IFD_EXIF, EXIF_TAG_MAKER_NOTE}) +
                  exif.fields.count({EXIF_IFD_EXIF, EXIF_TAG_USER_COMMENT}),
              1u);
}

// Fields whose values cannot make an EXIF entry are left out, the rest kept.
TEST(Metadata, AMadeExifBlockKeepsOnlyWholeFields) {
    const ExifField make{ExifField::Picture, EXIF_TAG_MAKE, EXIF_FORMAT_ASCII, {'A', 'b', 0}};
    const struct {
        const char* what;
        ExifField field;
    } refused[] = {
        {"half a rational", {ExifField::Exif, EXIF_TAG_FNUMBER, EXIF_FORMAT_RATIONAL, {28, 5, 3}}},
        {"no values", {ExifField::Exif, EXIF_TAG_ISO_SPEED_RATINGS, EXIF_FORMAT_SHORT, {}}},
        {"a float", {ExifField::Exif, EXIF_TAG_EXPOSURE_TIME, EXIF_FORMAT_FLOAT, {1}}},
        {"no type", {ExifField::Exif, EXIF_TAG_EXPOSURE_TIME, 0, {1}}},
    };
    EXPECT_TRUE(MakeExifBlock({}).empty());
    for (const auto& c : refused) {
        EXPECT_TRUE(MakeExifBlock({c.field}).empty()) << c.what;
        PictureMetadata metadata;
        metadata.Segments.push_back({MarkerApp1, MakeExifBlock({make, c.field})});
        const ExifView view = ReadExif(metadata);
        ASSERT_TRUE(view.found) << c.what;
        EXPECT_EQ(view.fields.size(), 1u) << c.what;
        EXPECT_EQ(FieldText(view, EXIF_IFD_0, EXIF_TAG_MAKE), "Ab") << c.what;
    }
    // A block larger than one JPEG segment holds is not made.
    const ExifField huge{ExifField::Exif, EXIF_TAG_MAKER_NOTE, EXIF_FORMAT_UNDEFINED,
                         std::vector<std::int64_t>(70000, 1)};
    EXPECT_TRUE(MakeExifBlock({make, huge}).empty());
}

TEST(Metadata, APictureWithoutMetadataIsSavedAsBefore) {
    const Bitmap picture = AsymmetricPicture();
    EXPECT_EQ(EncodeJpeg(picture, 90, PictureMetadata{}), EncodeJpeg(picture, 90));
}

TEST(Metadata, ResolutionTravelsBetweenFormats) {
    ScratchFolder scratch;
    PictureMetadata metadata;
    metadata.ResolutionX = metadata.ResolutionY = 300;
    SavePicture(scratch / "a.tif", AsymmetricPicture(), PictureFormat::Tiff, metadata);
    const LoadedPicture tiff = LoadPictureFile(scratch / "a.tif", PictureFormat::Tiff);
    SavePicture(scratch / "b.jpg", tiff.Picture, PictureFormat::Jpeg, tiff.Metadata);
    const LoadedPicture jpeg = LoadPictureFile(scratch / "b.jpg", PictureFormat::Jpeg);
    EXPECT_EQ(jpeg.Metadata.ResolutionX, 300);
    SavePicture(scratch / "c.png", jpeg.Picture, PictureFormat::Png, jpeg.Metadata);
    EXPECT_NEAR(LoadPictureFile(scratch / "c.png", PictureFormat::Png).Metadata.ResolutionY, 300, 0.01);
}

// A HEIF item or JPEG XL box gives its EXIF block after a big-endian offset; an offset that
// leaves nothing of the block, or a header cut short, adds nothing. Photoshop resources are
// read from APP13 segments only.
TEST(Metadata, ExifItemsAreTakenOnlyWithinTheirBounds) {
    using Bytes = std::vector<std::uint8_t>;
    const Bytes tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const auto item = [&](Bytes offset, Bytes before) {
        offset.insert(offset.end(), before.begin(), before.end());
        offset.insert(offset.end(), tiff.begin(), tiff.end());
        return offset;
    };
    const struct {
        Bytes item;
        Bytes exif;
    } cases[] = {
        {item({0, 0, 0, 0}, {}), tiff},
        {item({0, 0, 0, 6}, {'E', 'x', 'i', 'f', 0, 0}), tiff},
        {item({0, 0, 0, 2}, {9, 9}), tiff},
        {item({0, 0, 0, 8}, {}), {}},  // the offset leaves nothing
        {item({0, 0, 0, 9}, {}), {}},  // past the end
        {item({1, 0, 0, 0}, {}), {}},  // the high byte counts
        {item({0xff, 0xff, 0xff, 0xff}, {}), {}},
        {{0, 0, 0}, {}},
    };
    for (const auto& c : cases) {
        PictureMetadata metadata;
        AddExifItem(metadata, c.item.data(), c.item.size());
        EXPECT_EQ(ExifTiffOf(metadata), c.exif) << c.item.size();
    }
    PictureMetadata resources;
    const Bytes block = {'8', 'B', 'I', 'M'};
    AddPhotoshopResources(resources, block.data(), block.size());
    Bytes elsewhere(resources.Segments[0].Bytes.begin(), resources.Segments[0].Bytes.end());
    elsewhere.back() = 'X';  // the same header in an APP1 segment
    resources.Segments.push_back({MarkerApp1, elsewhere});
    EXPECT_EQ(PhotoshopResourcesOf(resources), block);
}

TEST(Metadata, IccProfilesAreSplitAndJoinedInChunkOrder) {
    std::vector<std::uint8_t> profile(200000);
    for (std::size_t i = 0; i < profile.size(); ++i) profile[i] = std::uint8_t(i * 7 + i / 251);
    const std::vector<MetadataSegment> chunks = IccSegments(profile.data(), profile.size());
    ASSERT_EQ(chunks.size(), 4u);
    for (const MetadataSegment& chunk : chunks) EXPECT_LE(chunk.Bytes.size(), 65533u);

    PictureMetadata inOrder, reversed, gap;
    inOrder.Segments = chunks;
    reversed.Segments.assign(chunks.rbegin(), chunks.rend());
    gap.Segments = {chunks[0], chunks[1], chunks[3]};
    EXPECT_EQ(IccProfileOf(inOrder), profile);
    EXPECT_EQ(IccProfileOf(reversed), profile);
    EXPECT_TRUE(IccProfileOf(gap).empty());
    EXPECT_TRUE(IccProfileOf(PictureMetadata{}).empty());
}

// What a JPEG cannot carry is left out of the saved file, and the save says so.
TEST(Metadata, AJpegSaveSaysWhatItLeftOut) {
    ScratchFolder scratch;
    const std::vector<std::uint8_t> largeProfile(256 * 65519, 7);  // one chunk more than 255 hold
    PictureMetadata profile, exif, plain;
    profile.Segments = IccSegments(largeProfile.data(), largeProfile.size());
    ASSERT_EQ(IccProfileOf(profile), largeProfile);  // kept whole for the other formats
    exif.Segments = {{MarkerApp1, GrowingExifBlock()}};
    ASSERT_LE(exif.Segments[0].Bytes.size(), 65533u);
    plain.Segments = IccSegments(largeProfile.data(), 255 * 65519);
    const struct {
        const PictureMetadata& metadata;
        std::string words;
    } cases[] = {
        {profile, "The ICC profile of 16772864 bytes needs more than 255 JPEG segments; it was left out."},
        {exif,
         "The EXIF block grew to 90068 bytes when fitted to the picture, more than a JPEG segment holds "
         "(65533 bytes); it was left out."},
        {plain, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        const MetadataWarnings left =
            SavePicture(scratch / "a.jpg", AsymmetricPicture(), PictureFormat::Jpeg, c.metadata);
        EXPECT_EQ(left, c.words.empty() ? MetadataWarnings{} : MetadataWarnings{c.words});
        const LoadedPicture saved = LoadPictureFile(scratch / "a.jpg", PictureFormat::Jpeg);
        EXPECT_EQ(saved.Metadata.Segments.size(), c.words.empty() ? 255u : 0u);
    }
}

// A photo's metadata goes into every format that has a place for it and comes back through our
// own readers: EXIF with orientation 1, the saved pixel size and no thumbnail, XMP and the ICC
// profile everywhere, Photoshop resources (IPTC) where the format holds them. A TIFF keeps of
// the EXIF picture directory only the tags that describe the photo, and no fields that only a
// compressed picture has.
TEST(Metadata, APhotosMetadataSurvivesASaveInEveryFormatThatHoldsIt) {
    const struct {
        const char* file;
        PictureFormat from;
    } photos[] = {
        {"modern/camera.jpg", PictureFormat::Jpeg},         {"modern/heic-exif.heic", PictureFormat::Heif},
        {"photos/exif-72dpi-int.jpg", PictureFormat::Jpeg}, {"photos/iptc.jpg", PictureFormat::Jpeg},
        {"tiff/rgb8_exif_orientation6.tif", PictureFormat::Tiff},
    };
    const struct {
        PictureFormat to;
        const char* name;
        bool iptc;
    } targets[] = {{PictureFormat::Jpeg, "saved.jpg", true},
                   {PictureFormat::Png, "saved.png", false},
                   {PictureFormat::Tiff, "saved.tif", true},
                   {PictureFormat::WebP, "saved.webp", false}};
    const std::set<int> descriptive = {EXIF_TAG_IMAGE_DESCRIPTION, EXIF_TAG_MAKE,   EXIF_TAG_MODEL,    EXIF_TAG_SOFTWARE,
                                       EXIF_TAG_DATE_TIME,         EXIF_TAG_ARTIST, EXIF_TAG_COPYRIGHT};
    const std::set<int> compressedOnly = {EXIF_TAG_COMPONENTS_CONFIGURATION, EXIF_TAG_COMPRESSED_BITS_PER_PIXEL};
    const std::set<FieldKey> fitted = {{ExifField::Picture, EXIF_TAG_ORIENTATION},
                                       {ExifField::Exif, EXIF_TAG_PIXEL_X_DIMENSION},
                                       {ExifField::Exif, EXIF_TAG_PIXEL_Y_DIMENSION}};
    ScratchFolder scratch;
    for (const auto& photo : photos) {
        const LoadedPicture opened = LoadPictureFile(SamplePath(photo.file), photo.from);
        const Bitmap saved = FilteredAndCropped(opened.Picture);
        const auto before = ExifValues(opened.Metadata);
        ASSERT_FALSE(before.empty()) << photo.file;
        for (const auto& target : targets) {
            SCOPED_TRACE(std::string(photo.file) + " -> " + target.name);
            SavePicture(scratch / target.name, saved, target.to, opened.Metadata);
            const LoadedPicture reopened = LoadPictureFile(scratch / target.name, target.to, OrientationRule::AsStored);
            EXPECT_EQ(reopened.Picture.Width(), saved.Width());
            EXPECT_EQ(IccProfileOf(reopened.Metadata), IccProfileOf(opened.Metadata));
            EXPECT_EQ(XmpPacketOf(reopened.Metadata), XmpPacketOf(opened.Metadata));
            EXPECT_EQ(PhotoshopResourcesOf(reopened.Metadata),
                      target.iptc ? PhotoshopResourcesOf(opened.Metadata) : std::vector<std::uint8_t>{});
            EXPECT_FALSE(ReadExif(reopened.Metadata).thumbnail);
            EXPECT_EQ(ExifOrientation(reopened.Metadata), 1);
            const auto after = ExifValues(reopened.Metadata);
            const auto width = after.find({ExifField::Exif, EXIF_TAG_PIXEL_X_DIMENSION});
            if (width != after.end()) EXPECT_EQ(width->second, std::vector<double>{double(saved.Width())});
            for (const auto& [key, values] : before) {
                const bool tiff = target.to == PictureFormat::Tiff;
                if (fitted.count(key) || (tiff && key.first == ExifField::Picture && !descriptive.count(key.second)) ||
                    (tiff && compressedOnly.count(key.second)))
                    continue;
                const auto found = after.find(key);
                ASSERT_NE(found, after.end()) << "lost: directory " << key.first << " tag " << key.second;
                ASSERT_EQ(found->second.size(), values.size()) << "tag " << key.second;
                for (std::size_t i = 0; i < values.size(); ++i)  // a TIFF keeps fractions as libtiff's floats
                    EXPECT_NEAR(found->second[i], values[i], std::fabs(values[i]) * 1e-6) << "tag " << key.second;
            }
            // Saved again from what was read, the metadata stays as it is.
            SavePicture(scratch / target.name, reopened.Picture, target.to, reopened.Metadata);
            EXPECT_EQ(LoadPictureFile(scratch / target.name, target.to, OrientationRule::AsStored).Metadata,
                      reopened.Metadata);
        }
    }
}
