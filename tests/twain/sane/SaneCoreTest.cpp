// The Source Manager's parts that need neither a device nor a window: DIBs from SANE frames,
// source names, the default-source file, mode choices and capabilities.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "twain/sane/Capabilities.h"
#include "twain/sane/DefaultSource.h"
#include "image/Dib.h"
#include "twain/sane/SaneFailure.h"
#include "twain/sane/ScanDib.h"
#include "twain/sane/SourceNames.h"
#include "ScratchFolder.h"

using namespace sanedsm;

namespace {
TFrame MakeFrame(TFrameLayout layout, const std::vector<std::uint8_t>& bytes) {
    TFrame frame(layout);
    frame.Append(bytes.data(), bytes.size());
    return frame;
}

std::uint32_t Field(const std::vector<std::uint8_t>& dib, std::size_t offset) {
    std::uint32_t value;
    std::memcpy(&value, dib.data() + offset, 4);
    return value;
}

std::vector<std::uint8_t> Samples16(std::initializer_list<std::uint16_t> values) {
    std::vector<std::uint8_t> bytes(values.size() * 2);
    std::memcpy(bytes.data(), std::data(values), bytes.size());  // the machine's byte order
    return bytes;
}
}  // namespace

TEST(ScanDibTest, ColourRowsBecomeBottomUpBlueGreenRed) {
    // 3 x 2 pixels, each line padded to 10 bytes as a scanner that loses pixels sends it.
    const std::vector<std::uint8_t> bytes = {255, 0,  0,  0,  255, 0,  0,  0,  255, 99,
                                             10,  20, 30, 40, 50,  60, 70, 80, 90,  99};
    const auto dib = BuildPackedDib({MakeFrame({TFrameFormat::Rgb, 8, 10, 3, 2}, bytes)}, 100);
    EXPECT_EQ(Field(dib, 0), 40u);
    EXPECT_EQ(Field(dib, 8), 2u);      // positive height: bottom-up rows
    EXPECT_EQ(Field(dib, 24), 3937u);  // 100 dpi in pixels per metre
    EXPECT_EQ(Field(dib, 32), 0u);
    const Bitmap picture = DecodePackedDib(dib.data(), dib.size());
    ASSERT_EQ(picture.Width(), 3);
    ASSERT_EQ(picture.Height(), 2);
    EXPECT_EQ(picture.GetColor(0, 0), PackColor(255, 0, 0));
    EXPECT_EQ(picture.GetColor(2, 0), PackColor(0, 0, 255));
    EXPECT_EQ(picture.GetColor(1, 1), PackColor(40, 50, 60));
}

TEST(ScanDibTest, GreyAndLineArtGoThroughTheirColourTables) {
    const struct {
        const char* name;
        TFrameLayout layout;
        std::vector<std::uint8_t> bytes;
        std::vector<int> levels;  // of the first row, left to right
        std::uint32_t colours;
    } cases[] = {
        {"8-bit grey", {TFrameFormat::Gray, 8, 4, 4, 1}, {0, 1, 128, 255}, {0, 1, 128, 255}, 256},
        // 0x1200 read in the wrong byte order would be 0x0012, nearly black.
        {"16-bit grey",
         {TFrameFormat::Gray, 16, 10, 5, 1},
         Samples16({0, 0x1200, 0x8080, 0xFF7F, 0xFFFF}),
         {0, 18, 128, 255, 255},
         256},
        // SANE's 1 is black; bits past the width are padding.
        {"line art",
         {TFrameFormat::Gray, 1, 2, 10, 1},
         {0b10100000, 0b01111111},
         {0, 255, 0, 255, 255, 255, 255, 255, 255, 0},
         2},
    };
    for (const auto& c : cases) {
        const auto dib = BuildPackedDib({MakeFrame(c.layout, c.bytes)}, 300);
        EXPECT_EQ(Field(dib, 32), c.colours) << c.name;
        const Bitmap picture = DecodePackedDib(dib.data(), dib.size());
        ASSERT_EQ(picture.Width(), int(c.levels.size())) << c.name;
        for (std::size_t x = 0; x < c.levels.size(); ++x) {
            const auto level = std::uint8_t(c.levels[x]);
            EXPECT_EQ(picture.GetColor(int(x), 0), PackColor(level, level, level)) << c.name << " x=" << x;
        }
    }
}

TEST(ScanDibTest, ThreePassesInAnyOrderMakeOneColourPicture) {
    const auto band = [](TFrameFormat format, std::uint8_t value) {
        return MakeFrame({format, 8, 2, 2, 1}, {value, std::uint8_t(value + 1)});
    };
    const auto dib =
        BuildPackedDib({band(TFrameFormat::Blue, 30), band(TFrameFormat::Red, 10), band(TFrameFormat::Green, 20)}, 75);
    const Bitmap picture = DecodePackedDib(dib.data(), dib.size());
    EXPECT_EQ(picture.GetColor(0, 0), PackColor(10, 20, 30));
    EXPECT_EQ(picture.GetColor(1, 0), PackColor(11, 21, 31));
    EXPECT_THROW(
        BuildPackedDib({band(TFrameFormat::Red, 1), band(TFrameFormat::Red, 2), band(TFrameFormat::Blue, 3)}, 75),
        EBadScan);
    EXPECT_THROW(BuildPackedDib({band(TFrameFormat::Red, 1), band(TFrameFormat::Green, 2)}, 75), EBadScan);
}

TEST(ScanDibTest, HeightIsTheWholeRowsThatArrived) {
    // A hand scanner: height unknown, data in pieces that split rows.
    TFrame hand({TFrameFormat::Gray, 8, 3, 3, -1});
    for (int i = 0; i < 7; ++i) {
        const std::uint8_t piece[2] = {std::uint8_t(i * 2), std::uint8_t(i * 2 + 1)};
        hand.Append(piece, 2);
    }
    EXPECT_EQ(hand.Rows(), 4);  // 14 bytes: four rows and a part
    const auto dib = BuildPackedDib({hand}, 100);
    const Bitmap picture = DecodePackedDib(dib.data(), dib.size());
    ASSERT_EQ(picture.Height(), 4);
    EXPECT_EQ(picture.GetColor(2, 3), PackColor(11, 11, 11));
    // A known height caps what a talkative device sends; a short scan ends where it ended.
    EXPECT_EQ(MakeFrame({TFrameFormat::Gray, 8, 1, 1, 2}, {1, 2, 3, 4}).Rows(), 2);
    EXPECT_EQ(MakeFrame({TFrameFormat::Gray, 8, 1, 1, 9}, {1, 2, 3}).Rows(), 3);
    EXPECT_TRUE(BuildPackedDib({MakeFrame({TFrameFormat::Gray, 8, 4, 4, 3}, {1, 2})}, 100).empty());
}

TEST(ScanDibTest, LayoutsSaneDoesNotDefineAreRefused) {
    const TFrameLayout bad[] = {
        {TFrameFormat::Gray, 4, 4, 8, 1},  // 4-bit samples
        {TFrameFormat::Rgb, 8, 8, 3, 1},   // lines shorter than their pixels
        {TFrameFormat::Gray, 8, 0, 0, 1},  // nothing in a line
    };
    for (const TFrameLayout& layout : bad)
        EXPECT_THROW(BuildPackedDib({MakeFrame(layout, std::vector<std::uint8_t>(16))}, 100), EBadScan);
}

TEST(SourceNamesTest, NamesAreCutTo32CharactersAndMadeUnique) {
    const struct {
        const char *vendor, *model, *type, *device, *name;
    } cases[] = {
        {"Canon", "LiDE 220", "flatbed scanner", "genesys:libusb:001:004", "Canon LiDE 220 flatbed scanner"},
        {"Noname", "frontend-tester", "virtual device", "test:0", "Noname frontend-tester virtual d"},
        {" Epson ", "", "  ", "epson2:net:10.0.0.2", "Epson"},
        {"", "", "", "net:host:test:0", "net:host:test:0"},
        {"Hewlett-Packard", "Officejet Pro 8600 series", "all-in-one", "hpaio:/net",
         "Hewlett-Packard Officejet Pro 86"},
    };
    for (const auto& c : cases) EXPECT_EQ(SourceName(c.vendor, c.model, c.type, c.device), c.name);
    // 31 letters and a two-byte character: the cut does not split it.
    EXPECT_EQ(CutName(std::string(31, 'a') + "\xC3\xA4z"), std::string(31, 'a'));
    EXPECT_EQ(CutName(std::string(30, 'a') + "\xC3\xA4z"), std::string(30, 'a') + "\xC3\xA4");
    EXPECT_EQ(UniqueNames({"A", "B", "A", std::string(32, 'x'), std::string(32, 'x'), "A"}),
              (std::vector<std::string>{"A", "B", "A #2", std::string(32, 'x'), std::string(29, 'x') + " #2", "A #3"}));
    // Two devices of one model: cut to TWAIN names, or whole for a window.
    const std::vector<TDeviceInfo> twins(2, {"test:0", "Noname", "frontend-tester", "virtual device"});
    EXPECT_EQ(SourceNames(twins),
              (std::vector<std::string>{"Noname frontend-tester virtual d", "Noname frontend-tester virtua #2"}));
    EXPECT_EQ(SourceNames(twins, WholeName), (std::vector<std::string>{"Noname frontend-tester virtual device",
                                                                       "Noname frontend-tester virtual device #2"}));
    TW_STR32 field;
    std::memset(field, 'z', sizeof field);
    CopyName(field, std::string(40, 'q'));
    EXPECT_EQ(std::string(field), std::string(32, 'q'));
}

TEST(DefaultSourceTest, FileLivesUnderTheUsersConfigurationFolder) {
    EXPECT_EQ(DefaultSourceFile("/cfg", "/home/u"), "/cfg/corvalux-twain-sane/default-source");
    EXPECT_EQ(DefaultSourceFile("relative", "/home/u"), "/home/u/.config/corvalux-twain-sane/default-source");
    EXPECT_EQ(DefaultSourceFile(nullptr, "/home/u"), "/home/u/.config/corvalux-twain-sane/default-source");
    EXPECT_TRUE(DefaultSourceFile(nullptr, nullptr).empty());

    const TScratchFolder scratch("corvalux-default");
    const auto folder = scratch / "config";
    const auto file = DefaultSourceFile(folder.c_str(), nullptr);
    EXPECT_EQ(ReadDefaultSource(file), "");
    EXPECT_TRUE(WriteDefaultSource(file, "test:1"));
    EXPECT_TRUE(WriteDefaultSource(file, "net:scanner.local:genesys:libusb:001:004"));
    EXPECT_EQ(ReadDefaultSource(file), "net:scanner.local:genesys:libusb:001:004");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);  // no temporary left
    // A folder that cannot be made: the old choice stays.
    std::ofstream(folder / "plain-file") << "x";
    EXPECT_FALSE(WriteDefaultSource(DefaultSourceFile((folder / "plain-file").c_str(), nullptr), "test:0"));
    EXPECT_FALSE(WriteDefaultSource(file, "two\nlines"));
    EXPECT_EQ(ReadDefaultSource(file), "net:scanner.local:genesys:libusb:001:004");
}

TEST(ScanSettingsTest, ModesMapToColourGreyAndLineArt) {
    using M = std::map<TPixelKind, TModeChoice>;
    const struct {
        std::vector<std::string> modes;
        std::vector<int> depths;
        M expected;
    } cases[] = {
        // SANE's test backend: line art is grey at 1 bit.
        {{"Gray", "Color"},
         {1, 8, 16},
         M{{TPixelKind::Colour, {"Color", 8}}, {TPixelKind::Grey, {"Gray", 8}}, {TPixelKind::LineArt, {"Gray", 1}}}},
        {{"Lineart", "Halftone", "Gray", "Color"},
         {},
         M{{TPixelKind::Colour, {"Color", 0}}, {TPixelKind::Grey, {"Gray", 0}}, {TPixelKind::LineArt, {"Lineart", 0}}}},
        {{"Black & White", "True Gray", "24bit Color[Fast]"},
         {8},
         M{{TPixelKind::Colour, {"24bit Color[Fast]", 8}},
           {TPixelKind::Grey, {"True Gray", 8}},
           {TPixelKind::LineArt, {"Black & White", 0}}}},
        // A colour dither is not a colour picture.
        {{"Color Lineart", "Color"}, {8}, M{{TPixelKind::Colour, {"Color", 8}}}},
    };
    for (const auto& c : cases) EXPECT_EQ(ModeChoices(c.modes, c.depths), c.expected) << c.modes.front();
}

TEST(ScanSettingsTest, ResolutionsOfferedFitTheDevice) {
    TNumberConstraint anything{{}, 1, 1200, 1};
    EXPECT_EQ(ResolutionChoices(anything, 50), (std::vector<int>{50, 75, 100, 150, 200, 300, 600, 1200}));
    TNumberConstraint hundreds{{}, 100, 600, 100};
    EXPECT_EQ(ResolutionChoices(hundreds, 300), (std::vector<int>{100, 200, 300, 600}));
    TNumberConstraint listed{{75, 150, 300, 600}};
    EXPECT_EQ(ResolutionChoices(listed, 150), (std::vector<int>{75, 150, 300, 600}));
    EXPECT_EQ(listed.Nearest(200), 150);
    EXPECT_EQ(hundreds.Nearest(1000), 600);
}

TEST(CapabilitiesTest, AskingSettingAndOrder) {
    TCapabilities caps;
    caps.Kinds = {TPixelKind::Grey, TPixelKind::Colour};
    caps.Resolutions = {{}, 50, 600, 1};
    caps.Resolution = caps.DefaultResolution = 150;
    TW_UINT16 condition = 0;
    auto call = [&](TW_UINT16 cap, TW_UINT16 msg, int state, TW_UINT16 itemType = 0, TW_UINT32 item = 0) {
        TW_ONEVALUE given{itemType, item};
        TW_CAPABILITY capability{cap, TWON_ONEVALUE, &given};
        condition = TWCC_SUCCESS;
        const TW_UINT16 rc = CapabilityTriplet(caps, msg, &capability, state, condition);
        TW_ONEVALUE answer{};
        if (capability.hContainer != &given) {
            if (capability.ConType == TWON_ONEVALUE) std::memcpy(&answer, capability.hContainer, sizeof answer);
            std::free(capability.hContainer);
        }
        return std::tuple{rc, condition, TW_UINT32{answer.Item}};
    };
    const TW_FIX32 dpi300 = ToFix32(300);
    TW_UINT32 bits300;
    std::memcpy(&bits300, &dpi300, 4);
    const struct {
        TW_UINT16 cap, msg;
        int state;
        TW_UINT16 itemType;
        TW_UINT32 item;
        TW_UINT16 rc, condition;
    } steps[] = {
        {ICAP_PIXELTYPE, MSG_SET, 4, TWTY_UINT16, TWPT_GRAY, TWRC_SUCCESS, TWCC_SUCCESS},
        {ICAP_PIXELTYPE, MSG_SET, 4, TWTY_UINT16, TWPT_BW, TWRC_FAILURE, TWCC_BADVALUE},  // not offered
        {ICAP_PIXELTYPE, MSG_SET, 4, TWTY_INT32, TWPT_GRAY, TWRC_FAILURE, TWCC_BADVALUE},
        {ICAP_PIXELTYPE, MSG_SET, 5, TWTY_UINT16, TWPT_RGB, TWRC_FAILURE, TWCC_SEQERROR},
        {ICAP_PIXELTYPE, MSG_GETCURRENT, 3, 0, 0, TWRC_FAILURE, TWCC_SEQERROR},
        {ICAP_XRESOLUTION, MSG_SET, 4, TWTY_FIX32, bits300, TWRC_SUCCESS, TWCC_SUCCESS},
        {CAP_XFERCOUNT, MSG_SET, 4, TWTY_INT16, 0, TWRC_FAILURE, TWCC_BADVALUE},
        {CAP_XFERCOUNT, MSG_SET, 4, TWTY_INT16, 4, TWRC_SUCCESS, TWCC_SUCCESS},
        {ICAP_XFERMECH, MSG_SET, 4, TWTY_UINT16, 2, TWRC_FAILURE, TWCC_BADVALUE},
        {0x1234, MSG_GET, 4, 0, 0, TWRC_FAILURE, TWCC_CAPUNSUPPORTED},
    };
    for (const auto& s : steps) {
        const auto [rc, code, item] = call(s.cap, s.msg, s.state, s.itemType, s.item);
        EXPECT_EQ(rc, s.rc) << std::hex << s.cap << " " << s.msg;
        EXPECT_EQ(code, s.condition) << std::hex << s.cap << " " << s.msg;
    }
    EXPECT_EQ(std::get<2>(call(ICAP_PIXELTYPE, MSG_GETCURRENT, 7)), TW_UINT32(TWPT_GRAY));
    EXPECT_EQ(std::get<2>(call(ICAP_YRESOLUTION, MSG_GETCURRENT, 5)), bits300);  // one resolution for both
    EXPECT_EQ(std::get<2>(call(CAP_XFERCOUNT, MSG_GETCURRENT, 4)), 4u);
    EXPECT_EQ(std::get<2>(call(CAP_XFERCOUNT, MSG_RESET, 4)), 0xFFFFu);  // -1 as a 16-bit item
    EXPECT_EQ(FromFix32(ToFix32(72.5)), 72.5);

    // MSG_GET lists the pixel types with the current one marked.
    TW_CAPABILITY all{ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr};
    ASSERT_EQ(CapabilityTriplet(caps, MSG_GET, &all, 4, condition), TWRC_SUCCESS);
    ASSERT_EQ(all.ConType, TWON_ENUMERATION);
    const auto* list = static_cast<const TW_ENUMERATION*>(all.hContainer);
    // Packed fields are copied out before comparing.
    EXPECT_EQ(TW_UINT32{list->NumItems}, 2u);
    EXPECT_EQ(TW_UINT32{list->CurrentIndex}, 0u);
    std::free(all.hContainer);
}

TEST(SaneFailureTest, EveryFailureHasAMessageAndACondition) {
    for (SANE_Status status : {SANE_STATUS_UNSUPPORTED, SANE_STATUS_DEVICE_BUSY, SANE_STATUS_INVAL, SANE_STATUS_JAMMED,
                               SANE_STATUS_NO_DOCS, SANE_STATUS_COVER_OPEN, SANE_STATUS_IO_ERROR, SANE_STATUS_NO_MEM,
                               SANE_STATUS_ACCESS_DENIED, SANE_Status(13)}) {
        const TFailure failure = DescribeStatus(status);
        EXPECT_FALSE(failure.Message.empty()) << status;
        EXPECT_NE(failure.Condition, TWCC_SUCCESS) << status;
    }
    EXPECT_EQ(DescribeStatus(SANE_STATUS_JAMMED).Condition, TWCC_PAPERJAM);
    EXPECT_EQ(DescribeStatus(SANE_STATUS_ACCESS_DENIED).Condition, TWCC_DENIED);
}

TEST(SaneFailureTest, AConditionIsReportedOnce) {
    TW_UINT16 condition = TWCC_PAPERJAM;
    TW_STATUS status{};
    status.Reserved = 7;
    EXPECT_EQ(ReportCondition(status, condition), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, TWCC_PAPERJAM);
    EXPECT_EQ(status.Reserved, 0);
    EXPECT_EQ(ReportCondition(status, condition), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, TWCC_SUCCESS);
}
