#pragma once
// The tokens the scanner hands to the parser and the record that carries a token's value
// on the parser's stack.
#include <cstdint>

// Token kinds. The values are the column numbers of the action table.
enum TToken : std::uint8_t {
    tkPlus,        // "+"
    tkMinus,       // "-"
    tkTimes,       // "*"
    tkDivide,      // "/"
    tkPower,       // "^"
    tkOpenParen,   // "("
    tkCloseParen,  // ")"
    tkNumber,      // a numeric literal, or a variable known to OnGetVar
    tkFunction,    // one of the function names
    tkEnd,         // end of the formula
    tkBad,         // anything else
    tkErrorMark,   // "!"
};
inline constexpr int TokenCount = 12;

// The functions a formula can call, in the order the scanner tries their names.
enum class TFunction : std::uint8_t { Abs, Atan, Cos, Exp, Ln, Round, Sin, Sqrt, Sqr, Trunc };
inline constexpr int FunctionCount = 10;

// The lookahead token's value or function, and each entry of the parser's stack:
// the automaton state and the value (or function) of the symbol the entry stands for.
struct TTokenRecord {
    std::uint8_t State = 0;
    TFunction Func = TFunction::Abs;
    long double Value = 0;
};
