// A picture that the size bound allows but the free memory cannot hold, with its undo copy
// and its view, is refused before anything is allocated.
#include "image/MemoryCheck.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "image/Bitmap.h"
#include "image/Dib.h"
#include "common/Errors.h"
#include "image/Jpeg.h"
#include "image/MemoryLimits.h"
#include "TestData.h"

namespace {
// Pretends the system has `bytes` available (nothing: unknown) while it lives.
struct FakeMemory {
    explicit FakeMemory(std::optional<std::int64_t> bytes) {
        SetAvailableMemorySource([bytes] { return bytes; });
    }
    ~FakeMemory() { SetAvailableMemorySource(nullptr); }
};

std::string Refusal(int width, int height) {
    return "There is not enough free memory for a " + std::to_string(width) + " \u00D7 " + std::to_string(height) +
           " picture.";
}
}  // namespace

TEST(MemoryCheck, MemAvailableIsReadFromItsOwnLine) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> bytes;
    } cases[] = {
        {"MemTotal:       32768000 kB\nMemFree:         1000000 kB\nMemAvailable:   23540980 kB\nBuffers: 1 kB\n",
         std::int64_t(23540980) * 1024},
        {"MemAvailable: 0 kB\n", 0},
        {"MemAvailable:1 kB", 1024},
        {"MemTotal:       32768000 kB\nMemFree:         1000000 kB\n", std::nullopt},  // kernels before 3.14
        {"XMemAvailable:   5 kB\n", std::nullopt},
        {"MemAvailable:   lots\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseMemAvailable(c.text), c.bytes) << c.text;
    const std::optional<std::int64_t> real = AvailableMemory();
    ASSERT_TRUE(real.has_value()) << "/proc/meminfo has no MemAvailable";
    EXPECT_GT(*real, 0);
}

TEST(MemoryCheck, PictureUndoAndViewMustFit) {
    // Ten bytes a pixel: the picture and its undo copy at 3, the 32-bit view at 4.
    const FakeMemory memory(std::int64_t(1000) * 1000 * 10);
    EXPECT_NO_THROW(CheckPictureSize(1000, 1000));
    EXPECT_NO_THROW(CheckPictureSize(1999, 500));
    EXPECT_NO_THROW(CheckPictureSize(0, 0));
    struct Case {
        int width, height;
    } refused[] = {{1000, 1001}, {1001, 1000}, {2000, 501}, {16384, 16384}};
    for (const Case& c : refused) {
        Bitmap picture(3, 2);
        try {
            picture.SetSize(c.width, c.height);
            ADD_FAILURE() << c.width << " x " << c.height << " was made";
        } catch (const ENotEnoughMemory& error) {
            EXPECT_EQ(std::string(error.what()), Refusal(c.width, c.height));
        }
        EXPECT_EQ(picture.Width(), 3) << "the picture stays as it was";
        EXPECT_THROW(CheckPictureSize(c.width, c.height), EPictureTooLarge) << "one kind for both refusals";
    }
    // Past the size bound the bound's message comes first.
    EXPECT_THROW(
        try { CheckPictureSize(70000, 1); } catch (const ENotEnoughMemory&){}, EPictureTooLarge);
}

TEST(MemoryCheck, UnknownMemoryRefusesNothing) {
    const FakeMemory memory(std::nullopt);
    EXPECT_NO_THROW(CheckPictureSize(16384, 16384));
}

// The decoders ask before they allocate: a few bytes of header cannot claim gigabytes.
TEST(MemoryCheck, DecodersRefuseBeforeAllocating) {
    const FakeMemory memory(std::int64_t(100) << 20);
    std::vector<std::uint8_t> bmp = EncodeBmpFile(Bitmap(1, 1));
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = std::uint8_t(v >> (8 * i));
    };
    put32(18, 8000);
    put32(22, 8000);
    try {
        DecodeBmpFile(bmp.data(), bmp.size());
        ADD_FAILURE() << "decoded";
    } catch (const ENotEnoughMemory& error) {
        EXPECT_EQ(std::string(error.what()), Refusal(8000, 8000));
    }

    std::vector<std::uint8_t> jpeg = ReadTestFile("jpeg/testorig.jpg");
    std::size_t sof = 2;
    while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) ++sof;
    ASSERT_LT(sof + 9, jpeg.size());
    jpeg[sof + 5] = 8000 >> 8, jpeg[sof + 6] = 8000 & 255;  // height
    jpeg[sof + 7] = 9000 >> 8, jpeg[sof + 8] = 9000 & 255;  // width
    try {
        DecodeJpeg(jpeg.data(), jpeg.size());
        ADD_FAILURE() << "decoded";
    } catch (const ENotEnoughMemory& error) {
        EXPECT_EQ(std::string(error.what()), Refusal(9000, 8000));
    }
}

// A control group's limit counts, in cgroup v2 and v1, over the process's own group and those
// above it; "no limit" in either form leaves the machine's memory to decide.
TEST(MemoryCheck, ControlGroupLimitsCountLessTheirUsage) {
    const std::int64_t MiB = 1 << 20;
    const std::string v1Unlimited = "9223372036854771712";
    struct Case {
        const char* name;
        const char* procSelfCgroup;
        std::map<std::string, std::string> files;
        std::optional<std::int64_t> headroom;
    } cases[] = {
        {"v2 limit",
         "0::/user/app\n",
         {{"/cg/user/app/memory.max", "209715200\n"}, {"/cg/user/app/memory.current", "104857600\n"}},
         100 * MiB},
        {"v2 parent's limit is smaller",
         "0::/user/app\n",
         {{"/cg/user/app/memory.max", "max\n"},
          {"/cg/user/app/memory.current", "1000\n"},
          {"/cg/user/memory.max", "52428800\n"},
          {"/cg/user/memory.current", "10485760\n"}},
         40 * MiB},
        {"v2 no limit",
         "0::/user/app\n",
         {{"/cg/user/app/memory.max", "max\n"}, {"/cg/memory.max", "max\n"}},
         std::nullopt},
        {"v2 usage past the limit", "0::/a\n", {{"/cg/a/memory.max", "100\n"}, {"/cg/a/memory.current", "200\n"}}, 0},
        {"v2 container's own view",
         "0::/elsewhere\n",
         {{"/cg/memory.max", "209715200\n"}, {"/cg/memory.current", "0\n"}},
         200 * MiB},
        {"v1 memory line",
         "4:memory:/box\n3:cpu:/\n0::/\n",
         {{"/cg/memory/box/memory.limit_in_bytes", "209715200\n"},
          {"/cg/memory/box/memory.usage_in_bytes", "9437184\n"},
          {"/cg/memory/memory.limit_in_bytes", v1Unlimited}},
         191 * MiB},
        {"v1 no limit", "4:cpu,memory:/box\n", {{"/cg/memory/box/memory.limit_in_bytes", v1Unlimited}}, std::nullopt},
        {"no groups", "", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const TFileReader read = [&](const std::string& path) -> std::optional<std::string> {
            const auto found = c.files.find(path);
            return found == c.files.end() ? std::nullopt : std::optional<std::string>(found->second);
        };
        EXPECT_EQ(CgroupHeadroom(c.procSelfCgroup, "/cg", read), c.headroom) << c.name;
    }
}

// An address-space limit leaves what it allows beyond the space already in use.
TEST(MemoryCheck, AddressSpaceLimitCountsLessWhatIsInUse) {
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &saved), 0);
    if (saved.rlim_cur != RLIM_INFINITY) GTEST_SKIP() << "an address-space limit is set already";
    EXPECT_EQ(AddressSpaceHeadroom(), std::nullopt);
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0;
    ASSERT_TRUE(statm >> pages);
    const std::int64_t used = pages * ::sysconf(_SC_PAGESIZE), room = std::int64_t(512) << 20;
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(used + room);
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &limited), 0);
    const std::optional<std::int64_t> headroom = AddressSpaceHeadroom();
    ::setrlimit(RLIMIT_AS, &saved);
    ASSERT_TRUE(headroom.has_value());
    EXPECT_LE(*headroom, room);
    EXPECT_GT(*headroom, room / 2);
}
