// corvalux-batch when things go wrong around it: standard output that cannot be written,
// an empty output name, inputs that are not files, too little memory, and signals during a save.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>

#include "ScratchFolder.h"
#include "batch/BatchTool.h"
#include "image/MemoryCheck.h"
#include "image/PictureFile.h"
#include "batch/SignalCleanup.h"

namespace {
namespace fs = std::filesystem;

// A stream buffer that refuses every byte, as a full disk or a closed pipe does.
struct RefusingBuffer : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

class BatchFaults : public ::testing::Test {
protected:
    TScratchFolder scratch{"corvalux-batch-faults"};
    const fs::path& folder = scratch.Path();
    std::string input, output;
    std::ostringstream out, err;

    void SetUp() override {
        input = (folder / "in.bmp").string();
        output = (folder / "out.bmp").string();
        SavePicture(input, Bitmap(23, 17), PictureFormat::Bitmap);
        std::ofstream(output) << "precious";
    }
    void TearDown() override { SetAvailableMemorySource(nullptr); }
    int Run(std::vector<std::string> args, std::ostream& to) {
        err.str("");
        return RunBatch(args, to, err);
    }
    std::string Output() const {
        std::ifstream in(output);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};
}  // namespace

TEST_F(BatchFaults, StandardOutputThatCannotBeWrittenFails) {
    RefusingBuffer refusing;
    std::ostream broken(&refusing);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                                 {input, "statistics", "-o", output},
                                                 {input, "statistics", "invert-all", "-o", output}}) {
        EXPECT_EQ(Run(args, broken), 1) << args[0];
        const std::string named = args[0] == "--help" ? "" : input + ": ";
        EXPECT_EQ(err.str().rfind("corvalux-batch: " + named + "cannot write to standard output", 0), 0u) << err.str();
        EXPECT_EQ(Output(), "precious") << "a failed step saves nothing";
        broken.clear();
    }
    // Steps that print nothing do not care.
    EXPECT_EQ(Run({input, "invert-all", "-o", output}, broken), 0) << err.str();
}

// The real program, its output sent to /dev/full, whose writes fail with ENOSPC.
TEST_F(BatchFaults, TheProgramReportsAFullStandardOutput) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const std::string program = CORVALUX_BATCH;
    const std::string errors = (folder / "errors.txt").string();
    for (const std::string& args : {std::string("--help"), input + " statistics"}) {
        const int status = std::system((program + " " + args + " > /dev/full 2> " + errors).c_str());
        ASSERT_TRUE(WIFEXITED(status)) << args;
        EXPECT_EQ(WEXITSTATUS(status), 1) << args;
        std::ifstream in(errors);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        const std::string named = args == "--help" ? "" : input + ": ";
        EXPECT_EQ(text, "corvalux-batch: " + named + "cannot write to standard output: No space left on device\n") << args;
    }
}

TEST_F(BatchFaults, AnEmptyOutputNameIsAUsageError) {
    std::ostringstream to;
    EXPECT_EQ(Run({input, "invert-all", "-o", ""}, to), 2);
    EXPECT_NE(err.str().find("-o needs a file name"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("Try 'corvalux-batch --help'."), std::string::npos) << err.str();
}

TEST_F(BatchFaults, InputsThatAreNotFilesAreRefusedAtOnce) {
    const fs::path fifo = folder / "pipe.bmp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(30);  // a blocked open ends the test program instead of hanging it
    std::ostringstream to;
    EXPECT_EQ(Run({fifo.string(), "-o", output}, to), 1);
    EXPECT_EQ(err.str(), "corvalux-batch: " + fifo.string() + ": \"" + fifo.string() + "\" is not a regular file.\n");
    EXPECT_EQ(Run({input, "filter-file=" + fifo.string(), "-o", output}, to), 1);
    EXPECT_EQ(err.str(), "corvalux-batch: " + input + ": \"" + fifo.string() + "\" is not a regular file.\n");
    EXPECT_EQ(Run({input, "filter-file=/dev/zero", "-o", output}, to), 1);
    EXPECT_EQ(err.str(), "corvalux-batch: " + input + ": \"/dev/zero\" is not a regular file.\n");
    ::alarm(0);
    EXPECT_EQ(Output(), "precious");
}

TEST_F(BatchFaults, APictureTooLargeForTheFreeMemoryIsRefused) {
    SetAvailableMemorySource([] { return std::optional<std::int64_t>(23 * 17 * 10 - 1); });
    std::ostringstream to;
    EXPECT_EQ(Run({input, "invert-all", "-o", output}, to), 1);
    EXPECT_EQ(err.str(), "corvalux-batch: " + input + ": There is not enough free memory for a 23 \u00D7 17 picture.\n");
    EXPECT_EQ(Output(), "precious");
    SetAvailableMemorySource([] { return std::optional<std::int64_t>(23 * 17 * 10); });
    EXPECT_EQ(Run({input, "invert-all", "-o", output}, to), 0) << err.str();
}

// Stopped by a signal during two saves through named temporary files (a file system without
// unnamed files): both temporary files are removed and the program dies of that signal.
TEST_F(BatchFaults, SignalsDuringSavesLeaveNoTemporaryFile) {
    GTEST_FLAG_SET(death_test_style, "fast");  // the child shares this test's folder
    fs::remove(output);
    const std::string second = (folder / "second.bmp").string();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        EXPECT_EXIT(
            {
                RemoveTemporaryFileOnSignals();
                SetWriteFaultInjector([](WriteStep step) { return step == WriteStep::CreateUnnamed ? EOPNOTSUPP : 0; });
                const std::vector<std::uint8_t> piece(2 << 20, 1);
                WriteFileAtomically(output, [&](const auto& write) {
                    write(piece.data(), piece.size());
                    // A second save in flight while the first one waits, as a many-picture run has.
                    WriteFileAtomically(second, [&](const auto& writeSecond) {
                        writeSecond(piece.data(), piece.size());
                        if (std::distance(fs::directory_iterator(folder), fs::directory_iterator()) != 3) ::_exit(3);
                        ::raise(signal);
                    });
                });
                ::_exit(4);  // not reached
            },
            ::testing::KilledBySignal(signal), "");
        EXPECT_TRUE(fs::exists(input));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "signal " << signal;
    }
}
