// A formula in, evaluated both ways: parsed once into a program and run, and parsed with the
// values in place. The program must give the parse's value to the last bit, and the same error.
// Checked on the parser with variables that reach the far ends of the number range, and on the
// custom filter's channel formulas, compiled and plain, over a small picture.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <typeinfo>

#include "custom/CompiledFormula.h"
#include "custom/CustomFilter.h"
#include "common/Errors.h"
#include "parser/FormulaProgram.h"
#include "FuzzSupport.h"
#include "parser/Parser.h"
#include "custom/PixelFormula.h"

namespace {
struct TOutcome {
    std::string thrown;  // the error's type, or empty
    long double value = 0;
};

bool Same(const TOutcome& a, const TOutcome& b) {
    if (a.thrown != b.thrown) return false;
    return (std::isnan(a.value) && std::isnan(b.value)) || std::memcmp(&a.value, &b.value, 10) == 0;
}

template <class Run>
TOutcome Catch(Run run) {
    TOutcome outcome;
    try {
        outcome.value = run();
    } catch (const std::exception& error) {
        outcome.thrown = typeid(error).name();
    }
    return outcome;
}

const std::vector<std::string> Names{"X", "Y"};
const long double Extremes[] = {0,
                                2.5L,
                                -3,
                                255,
                                1e4000L,
                                1e-4000L,
                                std::numeric_limits<long double>::max(),
                                std::numeric_limits<long double>::infinity(),
                                std::numeric_limits<long double>::quiet_NaN()};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;  // long formulas add nothing but time
    const std::string formula(reinterpret_cast<const char*>(data), size);

    const TFormulaProgram program(formula, Names);
    for (std::size_t i = 0; i < std::size(Extremes); ++i) {
        const long double values[2] = {Extremes[i], Extremes[(i * 5 + 3) % std::size(Extremes)]};
        const TOutcome parsed = Catch([&] {
            TMathParser parser;
            parser.ParseString = formula;
            parser.OnGetVar = [&](TMathParser&, const std::string& name, long double& value, bool& found) {
                for (std::size_t k = 0; k < Names.size(); ++k)
                    if (name == Names[k]) value = values[k], found = true;
            };
            parser.Parse();
            return parser.ParseValue();
        });
        FUZZ_CHECK(Same(Catch([&] { return program.Evaluate(values); }), parsed), "program equals the parse");
    }

    if (NamesStandAlone(formula)) {
        const TCompiledFormula compiled(formula);
        TPixelFormula plain(formula);
        const Bitmap picture = SmallPicture();
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x) {
                const std::uint8_t* p = picture.Pixel(x, y);
                FUZZ_CHECK(Same(Catch([&] { return (long double)compiled.Evaluate(p[2], p[1], p[0]); }),
                                Catch([&] { return (long double)plain.Evaluate(p[2], p[1], p[0]); })),
                           "compiled channel formula equals the plain rule");
            }
    }

    // The whole filter, whichever way each formula goes, against the plain rule.
    const TFilterFormulas formulas{formula, "255-" + formula, formula + "+R1"};
    Bitmap fast = SmallPicture(), plain = SmallPicture();
    const TRect selection{-1, 1, 7, 4};
    const TOutcome fastOutcome = Catch([&] { return CustomFilter(fast, selection, formulas), 0.0L; });
    const TOutcome plainOutcome = Catch([&] { return PlainCustomFilter(plain, selection, formulas), 0.0L; });
    FUZZ_CHECK(fastOutcome.thrown == plainOutcome.thrown, "the filter fails as the plain rule does");
    FUZZ_CHECK(fast == plain, "the filter equals the plain rule");
    return 0;
}
