#pragma once
// The LR automaton of the formula grammar: action table, goto table and productions.
//
//   Expr    -> Expr "+" Term | Expr "-" Term | Term
//   Term    -> Term "*" Factor | Term "/" Factor | Factor
//   Factor  -> Signed "^" Factor | Signed            (right-associative)
//   Signed  -> "-" Primary | Primary                 (one unary minus, tighter than "^")
//   Primary -> Atom
//   Atom    -> "(" Expr ")" | number | FUNCTION "(" Expr ")"
//
// The lookups are inline because the driver runs them a dozen times per parse; the
// consistency guards behind them throw EParserError.
#include "parser/Token.h"

#include <cstdint>

enum class TActionKind : std::uint8_t {
    None,             // no action: the state is never entered
    Shift,            // push the lookahead in state Arg and scan the next token
    Reduce,           // reduce by production Arg
    Accept,           // the formula is complete
    MathErrorAccept,  // "!" where an operand belongs: stop with a math error
    Error,            // syntax error with code Arg
};

struct TAction {
    TActionKind Kind;
    std::uint8_t Arg;
};

// The nonterminals, the goto table's columns.
enum class TSymbol : std::uint8_t { Expr, Term, Factor, Signed, Primary, Atom };
inline constexpr int SymbolCount = 6;
inline constexpr int StateCount = 30;
inline constexpr int ProductionCount = 17;

struct TProduction {
    std::uint8_t Length;  // symbols on the right-hand side; 0 for numbers without a production
    TSymbol Lhs;
};

namespace ParserTables {

constexpr TAction S(int state) { return {TActionKind::Shift, std::uint8_t(state)}; }
constexpr TAction R(int production) { return {TActionKind::Reduce, std::uint8_t(production)}; }
constexpr TAction E(int code) { return {TActionKind::Error, std::uint8_t(code)}; }
inline constexpr TAction Acc{TActionKind::Accept, 0};
inline constexpr TAction Bang{TActionKind::MathErrorAccept, 0};
inline constexpr TAction No{TActionKind::None, 0};

// Rows are states, columns the token kinds in TToken order.
inline constexpr TAction Action[StateCount][TokenCount] = {
    //           +      -      *      /      ^      (      )     number  func   end    bad    !
    /*  0 */ {E(3), S(5), E(3), E(3), E(3), S(9), E(3), S(10), S(11), E(3), E(3), Bang},
    /*  1 */ {S(12), S(13), E(4), E(4), E(4), E(4), E(4), E(4), E(4), Acc, E(4), E(4)},
    /*  2 */ {R(3), R(3), S(14), S(15), R(3), R(3), R(3), R(3), R(3), R(3), R(3), R(3)},
    /*  3 */ {R(6), R(6), R(6), R(6), R(6), R(6), R(6), R(6), R(6), R(6), R(6), R(6)},
    /*  4 */ {R(8), R(8), R(8), R(8), S(16), R(8), R(8), R(8), R(8), R(8), R(8), R(8)},
    /*  5 */ {E(3), E(3), E(3), E(3), E(3), S(9), E(3), S(10), S(11), E(3), E(3), E(3)},
    /*  6 */ {R(10), R(10), R(10), R(10), R(10), R(10), R(10), R(10), R(10), R(10), R(10), R(10)},
    /*  7 */ {No, No, No, No, No, No, No, No, No, No, No, No},
    /*  8 */ {R(12), R(12), R(12), R(12), R(12), R(12), R(12), R(12), R(12), R(12), R(12), R(12)},
    /*  9 */ {E(3), S(5), E(3), E(3), E(3), S(9), E(3), S(10), S(11), E(3), E(3), Bang},
    /* 10 */ {R(15), R(15), R(15), R(15), R(15), R(15), R(15), R(15), R(15), R(15), R(15), R(15)},
    /* 11 */ {E(5), E(5), E(5), E(5), E(5), S(20), E(5), E(5), E(5), E(5), E(5), E(5)},
    /* 12 */ {E(3), S(5), E(3), E(3), E(3), S(9), E(3), S(10), S(11), E(3), E(3), Bang},
    /* 13 */ {E(3), S(5), E(3), E(3), E(3), S(9), E(3), S(10), S(11), E(3), E(3), Bang},
    /* 14 */ {E(3), S(5), E(3), E(3), E(3), S(9), E(3), S(10), S(11), E(3), E(3), Bang},
    /* 15 */ {E(3), S(5), E(3), E(3), E(3), S(9), E(3), S(10), S(11), E(3), E(3), Bang},
    /* 16 */ {E(3), S(5), E(3), E(3), E(3), S(9), E(3), S(10), S(11), E(3), E(3), Bang},
    /* 17 */ {R(9), R(9), R(9), R(9), R(9), R(9), R(9), R(9), R(9), R(9), R(9), R(9)},
    /* 18 */ {No, No, No, No, No, No, No, No, No, No, No, No},
    /* 19 */ {S(12), S(13), E(6), E(6), E(6), E(6), S(27), E(6), E(6), E(6), E(6), E(6)},
    /* 20 */ {E(3), S(5), E(3), E(3), E(3), S(9), E(3), S(10), S(11), E(3), E(3), Bang},
    /* 21 */ {R(1), R(1), S(14), S(15), R(1), R(1), R(1), R(1), R(1), R(1), R(1), R(1)},
    /* 22 */ {R(2), R(2), S(14), S(15), R(2), R(2), R(2), R(2), R(2), R(2), R(2), R(2)},
    /* 23 */ {R(4), R(4), R(4), R(4), R(4), R(4), R(4), R(4), R(4), R(4), R(4), R(4)},
    /* 24 */ {R(5), R(5), R(5), R(5), R(5), R(5), R(5), R(5), R(5), R(5), R(5), R(5)},
    /* 25 */ {R(7), R(7), R(7), R(7), R(7), R(7), R(7), R(7), R(7), R(7), R(7), R(7)},
    /* 26 */ {No, No, No, No, No, No, No, No, No, No, No, No},
    /* 27 */ {R(14), R(14), R(14), R(14), R(14), R(14), R(14), R(14), R(14), R(14), R(14), R(14)},
    /* 28 */ {S(12), S(13), E(6), E(6), E(6), E(6), S(29), E(6), E(6), E(6), E(6), E(6)},
    /* 29 */ {R(16), R(16), R(16), R(16), R(16), R(16), R(16), R(16), R(16), R(16), R(16), R(16)},
};

// The state entered after a reduction to a nonterminal, by the state then on top;
// -1 where the automaton can never stand.
inline constexpr std::int8_t Goto[StateCount][SymbolCount] = {
    //         Expr Term Factor Signed Primary Atom
    /*  0 */ {1, 2, 3, 4, 6, 8},
    /*  1 */ {-1, -1, -1, -1, -1, -1},
    /*  2 */ {-1, -1, -1, -1, -1, -1},
    /*  3 */ {-1, -1, -1, -1, -1, -1},
    /*  4 */ {-1, -1, -1, -1, -1, -1},
    /*  5 */ {-1, -1, -1, -1, 17, 8},
    /*  6 */ {-1, -1, -1, -1, -1, -1},
    /*  7 */ {-1, -1, -1, -1, -1, -1},
    /*  8 */ {-1, -1, -1, -1, -1, -1},
    /*  9 */ {19, 2, 3, 4, 6, 8},
    /* 10 */ {-1, -1, -1, -1, -1, -1},
    /* 11 */ {-1, -1, -1, -1, -1, -1},
    /* 12 */ {-1, 21, 3, 4, 6, 8},
    /* 13 */ {-1, 22, 3, 4, 6, 8},
    /* 14 */ {-1, -1, 23, 4, 6, 8},
    /* 15 */ {-1, -1, 24, 4, 6, 8},
    /* 16 */ {-1, -1, 25, 4, 6, 8},
    /* 17 */ {-1, -1, -1, -1, -1, -1},
    /* 18 */ {-1, -1, -1, -1, -1, -1},
    /* 19 */ {-1, -1, -1, -1, -1, -1},
    /* 20 */ {28, 2, 3, 4, 6, 8},
    /* 21 */ {-1, -1, -1, -1, -1, -1},
    /* 22 */ {-1, -1, -1, -1, -1, -1},
    /* 23 */ {-1, -1, -1, -1, -1, -1},
    /* 24 */ {-1, -1, -1, -1, -1, -1},
    /* 25 */ {-1, -1, -1, -1, -1, -1},
    /* 26 */ {-1, -1, -1, -1, -1, -1},
    /* 27 */ {-1, -1, -1, -1, -1, -1},
    /* 28 */ {-1, -1, -1, -1, -1, -1},
    /* 29 */ {-1, -1, -1, -1, -1, -1},
};

// Right-hand side length and left-hand side of each production by number. Numbers 0, 11
// and 13 have no production (length 0).
inline constexpr TProduction Productions[ProductionCount] = {
    {0, TSymbol::Expr},                                                //  0 unused
    {3, TSymbol::Expr},    {3, TSymbol::Expr},    {1, TSymbol::Expr},  //  1-3
    {3, TSymbol::Term},    {3, TSymbol::Term},    {1, TSymbol::Term},  //  4-6
    {3, TSymbol::Factor},  {1, TSymbol::Factor},                       //  7-8
    {2, TSymbol::Signed},  {1, TSymbol::Signed},                       //  9-10
    {0, TSymbol::Primary}, {1, TSymbol::Primary},                      // 11 unused, 12
    {0, TSymbol::Atom},    {3, TSymbol::Atom},    {1, TSymbol::Atom},  // 13 unused, 14-15
    {4, TSymbol::Atom},                                                // 16
};

[[noreturn]] void BadTokenState();
[[noreturn]] void InvalidReduction();

}  // namespace ParserTables

// The action for the lookahead `token` in `state`; a state without actions is an
// internal error ("Bad token state").
inline TAction FindAction(int state, TToken token) {
    if (state < 0 || state >= StateCount || token >= TokenCount) ParserTables::BadTokenState();
    TAction action = ParserTables::Action[state][token];
    if (action.Kind == TActionKind::None) ParserTables::BadTokenState();
    return action;
}

// The production reduced by number; a number without one is an internal error
// ("Invalid reduction").
inline const TProduction& FindProduction(int production) {
    if (production < 0 || production >= ProductionCount || ParserTables::Productions[production].Length == 0)
        ParserTables::InvalidReduction();
    return ParserTables::Productions[production];
}

// The state after reducing to `symbol` with `state` on top.
inline int FindGoto(TSymbol symbol, int state) {
    if (state < 0 || state >= StateCount) ParserTables::BadTokenState();
    int next = ParserTables::Goto[state][int(symbol)];
    if (next < 0) ParserTables::BadTokenState();
    return next;
}
