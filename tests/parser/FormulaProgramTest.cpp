#include "parser/FormulaProgram.h"

#include <gtest/gtest.h>

#include <cstring>
#include <typeinfo>

#include "common/Errors.h"
#include "RandomFormula.h"

namespace {

// A parse's or an evaluation's outcome: the value's bits, or the error thrown.
struct Outcome {
    long double Value = 0;
    std::string Thrown;
    bool operator==(const Outcome& other) const {
        // The 80 significant bits of the extended format; the padding is undefined.
        return Thrown == other.Thrown && std::memcmp(&Value, &other.Value, 10) == 0;
    }
};
std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << (o.Thrown.empty() ? std::to_string(double(o.Value)) : o.Thrown);
}

template <class Run>
Outcome Catch(Run run) {
    Outcome outcome;
    try {
        outcome.Value = run();
    } catch (const std::exception& error) {
        outcome.Thrown = typeid(error).name();
    }
    return outcome;
}

// The parser itself, with the variables known to OnGetVar.
Outcome Parsed(const std::string& formula, const std::vector<std::string>& names, const long double* values) {
    return Catch([&] {
        TMathParser parser;
        parser.ParseString = formula;
        parser.OnGetVar = [&](TMathParser&, const std::string& name, long double& value, bool& found) {
            for (std::size_t i = 0; i < names.size(); ++i)
                if (name == names[i]) value = values[i], found = true;
        };
        parser.Parse();
        return parser.ParseValue();
    });
}

Outcome Evaluated(const TFormulaProgram& program, const long double* values) {
    return Catch([&] { return program.Evaluate(values); });
}

const std::vector<std::string> Names{"X", "Y", "Z"};

TEST(FormulaProgram, KnownFormulas) {
    struct Case {
        const char* formula;
        long double expected;
    };
    const long double values[] = {49, 3, -2};
    const Case cases[] = {
        {"SQRT(X)*16+Y", 115},
        {"-X^0.5", 0},
        {"-Z", 2},
        {"X-Y-Z", 48},  // minus binds tighter than ^
        {"X/Y/Z", 49.0L / 3 / -2},
        {"LN(Z)", 0},
        {"Y/0", 0},
        {"Z^2", 0},  // domain errors give 0
        {"X+", 0},
        {"!", 0},
        {"W", 0},
        {"((((((((((((((X))))))))))))))", 0},
        {"x", 0},
        {"ABS(Z)*sqr(Y)", 18},
    };
    for (const Case& c : cases) {
        const TFormulaProgram program(c.formula, Names);
        EXPECT_EQ(Evaluated(program, values), Parsed(c.formula, Names, values)) << c.formula;
        EXPECT_EQ(program.Evaluate(values), c.expected) << c.formula;
    }
    // A subformula written twice is computed once: X, SIN(X), and the sum.
    EXPECT_EQ(TFormulaProgram("SIN(X)+SIN(X)", Names).Size(), 3u);
    EXPECT_EQ(TFormulaProgram("SIN(X)+SIN(Y)", Names).Size(), 5u);
    EXPECT_THROW(TFormulaProgram("X*1E4000*1E4000", Names).Evaluate(values), EOverflow);
    // The operations before a syntax error still run, and can overflow.
    EXPECT_THROW(TFormulaProgram("EXP(11000)*EXP(11000)+)", Names).Evaluate(values), EOverflow);
    EXPECT_TRUE(TFormulaProgram("EXP(11000)*EXP(11000)+)", Names).SyntaxFailed());
}

// Thousands of random formulas over the whole grammar, each with several sets of values: the
// program's outcome equals the parse's to the last bit, errors included.
TEST(FormulaProgram, EqualsTheParserOnRandomFormulas) {
    RandomFormula formulas(7, Names);
    std::uniform_real_distribution<double> spread(-300, 300);
    int thrown = 0, failed = 0;
    for (int round = 0; round < 2500; ++round) {
        const std::string formula = formulas.Next();
        const TFormulaProgram program(formula, Names);
        for (int set = 0; set < 4; ++set) {
            long double values[3];
            for (long double& v : values)
                v = formulas.Below(3) == 0 ? static_cast<long double>(formulas.Below(256))
                                           : static_cast<long double>(spread(formulas.Engine()));
            const Outcome parsed = Parsed(formula, Names, values);
            ASSERT_EQ(Evaluated(program, values), parsed) << formula;
            thrown += !parsed.Thrown.empty();
            failed += parsed.Thrown.empty() && parsed.Value == 0;
        }
    }
    // The generator reaches the corners it is meant to reach.
    EXPECT_GT(thrown, 100);
    EXPECT_GT(failed, 1000);
}

}  // namespace

namespace {
// Formulas compiled together share their subformulas, yet each keeps its own value and its own
// domain errors: the same outcome as parsing each alone.
TEST(FormulaProgram, FormulasCompiledTogetherEqualEachParse) {
    RandomFormula formulas(31, Names);
    for (int round = 0; round < 600; ++round) {
        const std::string a = formulas.Next(), b = formulas.Next();
        // The second and third share subformulas with the first: one with a domain error in it.
        const std::vector<std::string> texts{a, "LN(" + a + ")-" + b, "(" + a + ")*2+" + b};
        const TFormulaProgram together(texts, Names);
        long double values[3];
        for (long double& v : values) v = static_cast<long double>(int(formulas.Below(300)) - 40);
        Outcome expected;
        std::vector<long double> parsed;
        for (const std::string& text : texts) {
            const Outcome one = Parsed(text, Names, values);
            if (!one.Thrown.empty() && expected.Thrown.empty()) expected.Thrown = one.Thrown;
            parsed.push_back(one.Value);
        }
        long double results[3];
        const Outcome got = Catch([&] { return together.Evaluate(values, results), 0.0L; });
        ASSERT_EQ(got.Thrown, expected.Thrown) << a << " ; " << b;
        if (got.Thrown.empty())
            for (std::size_t i = 0; i < 3; ++i) {
                const Outcome one{results[i], ""}, alone{parsed[i], ""};
                ASSERT_EQ(one, alone) << texts[i];
            }
    }
}
}  // namespace
