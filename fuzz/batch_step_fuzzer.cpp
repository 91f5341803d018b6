// corvalux-batch steps: each line of the input is one step argument, as typed on the command
// line. All are parsed first, as the tool does; then up to four run in order on a small
// picture, so that a selection can meet the crop, a resize or a filter after it.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "batch/BatchSteps.h"
#include "common/Errors.h"
#include "FuzzSupport.h"

namespace {
constexpr std::size_t MaxSteps = 4;

std::vector<std::string> Lines(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < size && lines.size() <= MaxSteps; ++i)
        data[i] == '\n' ? void(lines.emplace_back()) : void(lines.back() += char(data[i]));
    if (lines.size() > MaxSteps) lines.resize(MaxSteps);
    return lines;
}

// The size a "resize=W,H..." step asks for, or 0 x 0 when the text does not say.
void ResizeTarget(const std::string& args, std::int64_t& width, std::int64_t& height) {
    width = height = 0;
    const char* end = args.data() + args.size();
    const auto first = std::from_chars(args.data(), end, width);
    if (first.ec != std::errc() || first.ptr == end || *first.ptr != ',') return;
    std::from_chars(first.ptr + 1, end, height);
}

// False for a step the fuzzer should not run: one that would work on a picture or region
// much larger than the small one (allowed, but slow), or one that reads a file named by the
// input (the filter-file target covers those bytes).
bool WorthRunning(const std::string& text, const TBatchSession& session) {
    const std::string name = text.substr(0, text.find('='));
    if (name == "filter-file") return false;
    if (name == "resize") {
        std::int64_t width, height;
        ResizeTarget(text.substr(text.find('=') + 1), width, height);
        if (CostlyPicture(width, height)) return false;
    }
    return !CostlyPicture(session.Selection.Width(), session.Selection.Height());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> texts = Lines(data, size);
    std::vector<TBatchStep> steps;
    for (const std::string& text : texts) {
        try {
            steps.push_back(ParseStep(text));
        } catch (const EBatchUsage& error) {
            FUZZ_CHECK(*error.what() != '\0', "a usage error says what is wrong");
            return 0;  // the tool stops before any work
        }
    }

    std::ostringstream report;
    TBatchSession session;
    session.Picture = SmallPicture();
    session.SelectAll();
    session.Seed = 1;
    session.Out = &report;
    session.FileName = "small.bmp";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (!WorthRunning(texts[i], session)) break;
        const TRect selection = session.Selection;
        try {
            steps[i](session);
        } catch (const ECorvalux&) {
            break;  // a failed step ends the run, as in the tool
        }
        if (texts[i] == "crop")
            FUZZ_CHECK(session.Picture.Width() == selection.Width() && session.Picture.Height() == selection.Height(),
                       "crop keeps the selection's size");
        FUZZ_CHECK(session.Picture.Width() >= 0 && session.Picture.Height() >= 0, "picture size");
    }
    return 0;
}
