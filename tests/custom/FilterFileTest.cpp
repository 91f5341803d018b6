#include "custom/FilterFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/Errors.h"
#include "ScratchFolder.h"

namespace {
std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

struct ReadCase {
    const char* name;
    std::string bytes;
    TFilterFormulas expected;
};

const ReadCase ReadCases[] = {
    {"three CR LF lines", "255-R1\r\nG1*2\r\nB1\r\n", {"255-R1", "G1*2", "B1"}},
    {"no end after the last line", "a\r\nb\r\nc", {"a", "b", "c"}},
    {"two lines: the third reads empty", "R1/2\r\nG1\r\n", {"R1/2", "G1", ""}},
    {"one line", "R1", {"R1", "", ""}},
    {"empty file", "", {"", "", ""}},
    {"lone LFs stay in the first line", "a\nb\nc\n", {"a\nb\nc\n", "", ""}},
    {"CR alone ends a line", "a\rb\rc\r", {"a", "b", "c"}},
    {"only one LF after a CR is skipped", "a\r\n\nb\r\nc", {"a", "\nb", "c"}},
    {"empty lines in the middle", "\r\n\r\nB1\r\n", {"", "", "B1"}},
    {"byte 26 ends the text",
     "R1\r\nG1\x1a"
     "junk\r\nmore",
     {"R1", "G1", ""}},
    {"byte 26 at the start",
     "\x1a"
     "R1\r\nG1\r\nB1",
     {"", "", ""}},
    {"lines past the third are ignored", "1\r\n2\r\n3\r\n4\r\n", {"1", "2", "3"}},
    {"spaces and 8-bit bytes kept",
     std::string(" R1 * 2 \r\n\xe9\0x\r\nB1", 17),
     {" R1 * 2 ", std::string("\xe9\0x", 3), "B1"}},
};

class FilterFileTest : public ::testing::Test {
protected:
    TScratchFolder scratch{"corvalux-fil"};
    const std::filesystem::path& folder = scratch.Path();
};
}  // namespace

TEST(FilterFileRead, FollowsTheLineRules) {
    for (const ReadCase& c : ReadCases) EXPECT_EQ(ReadFilterText(Bytes(c.bytes)), c.expected) << c.name;
}

TEST(FilterFileWrite, WritesThreeCrLfLinesThatReadBack) {
    const TFilterFormulas formulas{" R1 * 2 ", "", "(R1+G1+B1)/3"};
    EXPECT_EQ(FilterFileBytes(formulas), Bytes(" R1 * 2 \r\n\r\n(R1+G1+B1)/3\r\n"));
    EXPECT_EQ(ReadFilterText(FilterFileBytes(formulas)), formulas);
}

TEST_F(FilterFileTest, SavesOverAnOldFileAndLoadsIt) {
    const std::string path = (folder / "sepia.fil").string();
    std::ofstream(path) << "old contents that are longer than the new ones\r\n";
    SaveFilterFile(path, {"R1", "G1+1", "B1"});
    EXPECT_EQ(LoadFilterFile(path), (TFilterFormulas{"R1", "G1+1", "B1"}));
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(FilterFileTest, FailuresThrowTheSystemsError) {
    EXPECT_THROW(LoadFilterFile((folder / "missing.fil").string()), EFileError);
    // A huge file is refused by its size, before it is read: a sparse one costs no disk.
    const std::filesystem::path huge = folder / "huge.fil";
    std::ofstream(huge) << "R1\r\nG1\r\nB1\r\n";
    std::filesystem::resize_file(huge, std::uintmax_t(3) << 30);
    EXPECT_THROW(LoadFilterFile(huge.string()), EFileError);
    std::filesystem::resize_file(huge, MaxFilterFileBytes);
    EXPECT_EQ(LoadFilterFile(huge.string()), (TFilterFormulas{"R1", "G1", "B1"}));
    EXPECT_THROW(SaveFilterFile((folder / "no-such-folder" / "x.fil").string(), {}), EFileError);
}
