// A formula in, parsed and evaluated by TMathParser, with variables that reach the far ends
// of the number range. Also the custom filter window's syntax check on the same text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "common/Errors.h"
#include "custom/FormulaCheck.h"
#include "FuzzSupport.h"
#include "parser/Parser.h"

namespace {
struct TOutcome {
    bool threw = false;
    bool failed = false;
    long double value = 0;
    int error = 0, position = 0;
};

void SetVariables(TMathParser& parser) {
    parser.OnGetVar = [](TMathParser&, const std::string& name, long double& value, bool& found) {
        struct {
            const char* name;
            long double value;
        } const variables[] = {
            {"X", 2.5L},
            {"NEG", -3},
            {"BIG", 1e4000L},
            {"TINY", 1e-4000L},
            {"MAX", std::numeric_limits<long double>::max()},
            {"INF", std::numeric_limits<long double>::infinity()},
            {"NAN", std::numeric_limits<long double>::quiet_NaN()},
        };
        for (const auto& variable : variables)
            if (name == variable.name) {
                value = variable.value;
                found = true;
            }
    };
}

TOutcome Run(TMathParser& parser, const std::string& formula) {
    TOutcome outcome;
    parser.ParseString = formula;
    try {
        parser.Parse();
    } catch (const EMathError&) {
        outcome.threw = true;
        FUZZ_CHECK(parser.ParseFailed(), "a parse that threw counts as failed");
    }
    outcome.failed = parser.ParseFailed();
    outcome.value = parser.ParseValue();
    outcome.error = parser.TokenError();
    outcome.position = parser.Position();
    return outcome;
}

bool SameValue(long double a, long double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, 10) == 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string formula(reinterpret_cast<const char*>(data), size);
    TMathParser parser;
    SetVariables(parser);
    const TOutcome first = Run(parser, formula);

    if (!first.threw) {
        FUZZ_CHECK(first.failed == (first.error != 0 || parser.MathError()), "failed means an error");
        const int e = first.error;
        FUZZ_CHECK(e == 0 || e == TMathParser::StackFull || e == TMathParser::OperandExpected ||
                       e == TMathParser::OperatorExpected || e == TMathParser::ParenExpected ||
                       e == TMathParser::CloseExpected || e == TMathParser::BadNumber,
                   "known error code");
    }
    if (first.failed) FUZZ_CHECK(first.value == 0, "a failed parse gives 0");
    FUZZ_CHECK(first.position >= 1 && first.position <= int(formula.size()) + 1, "position inside the text");

    // Nothing is kept between parses: the same text gives the same outcome, on the same
    // parser and on a fresh one.
    TMathParser fresh;
    SetVariables(fresh);
    for (TMathParser* again : {&parser, &fresh}) {
        const TOutcome second = Run(*again, formula);
        FUZZ_CHECK(second.threw == first.threw && second.failed == first.failed && second.error == first.error &&
                       second.position == first.position && SameValue(second.value, first.value),
                   "parsing is repeatable");
    }

    // The window's check must describe any syntax error without failing itself.
    if (const auto message = FormulaSyntaxError("Red", formula))
        FUZZ_CHECK(message->rfind("Red formula: ", 0) == 0 && message->back() == '.', "message form");
    return 0;
}
