// A filter file's bytes in: the three formulas read out of it, checked as the window and the
// batch tool check them, then applied to a small picture by the custom filter. The
// remembered-results filter must agree with the plain per-pixel reference, whether it
// finishes or throws, on the whole picture and on a selection hanging over its edges.
#include <cstddef>
#include <cstdint>
#include <string>
#include <typeinfo>
#include <vector>

#include "custom/CustomFilter.h"
#include "common/Errors.h"
#include "custom/FilterFile.h"
#include "custom/FormulaCheck.h"
#include "FuzzSupport.h"

namespace {
// The type of what the filter threw ("" for nothing), and the picture it left.
struct TResult {
    std::string thrown;
    Bitmap picture;
};

template <class Filter>
TResult Apply(Filter filter, const TRect& selection, const TFilterFormulas& formulas) {
    TResult result{"", SmallPicture()};
    try {
        filter(result.picture, selection, formulas);
    } catch (const EMathError& error) {
        result.thrown = typeid(error).name();
        FUZZ_CHECK(result.picture == SmallPicture(), "a failed filter leaves the picture as it was");
    }
    return result;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TFilterFormulas read = ReadFilterText(std::vector<std::uint8_t>(data, data + size));
    // What is written reads back the same, when no line holds a line break of its own.
    if (read.Red.find_first_of("\r\x1a") == std::string::npos &&
        read.Green.find_first_of("\r\x1a") == std::string::npos &&
        read.Blue.find_first_of("\r\x1a") == std::string::npos)
        FUZZ_CHECK(ReadFilterText(FilterFileBytes(read)) == read, "filter file round trip");

    const TFilterFormulas formulas = RemoveSpaces(read);
    if (FormulasSyntaxError(formulas)) {
        Bitmap picture = SmallPicture();
        try {
            CheckedCustomFilter(picture, {0, 0, 6, 4}, formulas);
            FUZZ_CHECK(false, "the checked filter runs a formula with a syntax error");
        } catch (const EFormulaSyntax&) {
        }
        FUZZ_CHECK(picture == SmallPicture(), "a refused filter leaves the picture as it was");
    }
    // Unchecked, a formula that does not parse gives 0: that too must agree.
    // One selection per input, picked by its length: a run costs several large tables.
    const TRect selections[] = {{0, 0, 6, 4}, {-2, 1, 8, 6}, {3, -1, 4, 2}};
    {
        const TRect& selection = selections[size % 3];
        const TResult fast = Apply([](Bitmap& picture, const TRect& where,
                                      const TFilterFormulas& rules) { CustomFilter(picture, where, rules); },
                                   selection, formulas);
        const TResult plain = Apply([](Bitmap& picture, const TRect& where,
                                       const TFilterFormulas& rules) { PlainCustomFilter(picture, where, rules); },
                                    selection, formulas);
        FUZZ_CHECK(fast.thrown == plain.thrown, "both filters fail alike");
        FUZZ_CHECK(fast.picture == plain.picture, "both filters give the same picture");
    }
    return 0;
}
