#include "custom/FormulaCheck.h"

#include "parser/Parser.h"

namespace {

bool IsNameCharacter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// Every channel name as "00": the same length, and a number wherever the name stands.
std::string WithNamesAsZeros(std::string formula) {
    for (const char letter : {'R', 'G', 'B'})
        for (std::size_t at = 0; (at = formula.find({letter, '1'}, at)) != std::string::npos; at += 2)
            formula.replace(at, 2, "00");
    return formula;
}

// The name that ends just before `position` (1-based), or "" when none does. Where an
// operand is expected the parser stops right after a name it does not know.
std::string NameBefore(const std::string& formula, int position) {
    std::size_t end = std::size_t(position - 1), start = end;
    if (end > formula.size()) return "";
    while (start > 0 && IsNameCharacter(formula[start - 1])) --start;
    return formula.substr(start, end - start);
}

std::string Problem(const std::string& formula, int code, int position) {
    const std::string at = " at position " + std::to_string(position);
    switch (code) {
        case TMathParser::StackFull: return "the formula is nested too deeply" + at;
        case TMathParser::OperandExpected: {
            const std::string name = NameBefore(formula, position);
            if (!name.empty())
                return "\"" + name + "\" is not a known name" + " at position " +
                       std::to_string(position - int(name.size()));
            return "a number, R1, G1, B1, a function or ( is expected" + at;
        }
        case TMathParser::OperatorExpected: return "an operator or the end of the formula is expected" + at;
        case TMathParser::ParenExpected: return "( is expected after the function name" + at;
        case TMathParser::CloseExpected: return "an operator or ) is expected" + at;
        case TMathParser::BadNumber: return "a number is not written correctly" + at;
        default: return "the formula cannot be read" + at;
    }
}

}  // namespace

std::optional<std::string> FormulaSyntaxError(const std::string& channelName, const std::string& formula) {
    TMathParser parser;
    parser.ParseString = WithNamesAsZeros(formula);
    try {
        parser.Parse();
    } catch (const EMathError&) {
        return std::nullopt;
    }
    if (parser.TokenError() == 0) return std::nullopt;
    return channelName + " formula: " + Problem(formula, parser.TokenError(), parser.Position()) + ".";
}

std::optional<std::string> FormulasSyntaxError(const TFilterFormulas& formulas) {
    if (auto error = FormulaSyntaxError("Red", formulas.Red)) return error;
    if (auto error = FormulaSyntaxError("Green", formulas.Green)) return error;
    return FormulaSyntaxError("Blue", formulas.Blue);
}

void RequireValidFormulas(const TFilterFormulas& formulas) {
    if (auto error = FormulasSyntaxError(formulas)) throw EFormulaSyntax(*error);
}
