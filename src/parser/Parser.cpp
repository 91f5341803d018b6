// The driver of TMathParser: a shift-reduce loop over the tables of ParserTables.h, in the
// manner of a Lemon parser's driver. Shift, Reduce and Error are the automaton's actions;
// the lookups with their consistency guards are in ParserTables.h.
#include "parser/Parser.h"

#include "parser/ParserMath.h"
#include "parser/ParserTables.h"

// False, with code 1, when the stack is full. Position then stands after the token.
//
// Entries are copied field by field: a whole-record copy moves the long double as 16 bytes
// right after the floating unit stored it as 10, which defeats store forwarding.
inline bool TMathParser::Push(int state, const TTokenRecord& token) {
    if (FStackTop == StackSize) {
        FTokenError = StackFull;
        return false;
    }
    TTokenRecord& entry = FStack[FStackTop++];
    entry.State = std::uint8_t(state);
    entry.Func = token.Func;
    entry.Value = token.Value;
    return true;
}

// Pushes the lookahead in `state` and scans the next token.
template <bool Record>
inline void TMathParser::Shift(int state, TParseRecorder* recorder) {
    if constexpr (Record) {
        if (FToken == tkNumber && FStackTop < StackSize) recorder->Operand(FCurrToken);
    }
    if (Push(state, FCurrToken)) FToken = NextToken();
}

// Pops the right-hand side of the production, computes the value of its left-hand side
// and pushes that in the state the goto table gives, which it returns. The lookahead
// stays. The new entry takes the place of the first popped one, so the productions with
// one symbol on the right leave the value where it is.
template <bool Record>
[[gnu::always_inline]] inline int TMathParser::Reduce(int production, TParseRecorder* recorder) {
    const TProduction& rule = FindProduction(production);
    if (FStackTop <= rule.Length) ParserTables::InvalidReduction();
    TTokenRecord* rhs = &FStack[FStackTop - rule.Length];
    long double& result = rhs[0].Value;

    if constexpr (Record) {
        using enum TFormulaOperation;
        switch (production) {
            case 1: recorder->Operation(Add, {}); break;
            case 2: recorder->Operation(Subtract, {}); break;
            case 4: recorder->Operation(Multiply, {}); break;
            case 5: recorder->Operation(Divide, {}); break;
            case 7: recorder->Operation(Power, {}); break;
            case 9: recorder->Operation(Negate, {}); break;
            case 16: recorder->Operation(Function, rhs[0].Func); break;
            default: break;
        }
    } else
        switch (production) {
            // Expr -> Expr "+" Term
            case 1: result = Add(rhs[0].Value, rhs[2].Value); break;
            // Expr -> Expr "-" Term
            case 2: result = Subtract(rhs[0].Value, rhs[2].Value); break;
            // Term -> Term "*" Factor
            case 4: result = Multiply(rhs[0].Value, rhs[2].Value); break;
            // Term -> Term "/" Factor
            case 5: result = Divide(rhs[0].Value, rhs[2].Value, FMathError); break;
            // Factor -> Signed "^" Factor
            case 7: result = Power(rhs[0].Value, rhs[2].Value, FMathError); break;
            // Signed -> "-" Primary
            case 9: result = -rhs[1].Value; break;
            // Atom -> "(" Expr ")"
            case 14: result = rhs[1].Value; break;
            // Atom -> FUNCTION "(" Expr ")"
            case 16: result = ApplyFunction(rhs[0].Func, rhs[2].Value, FMathError); break;
            // Expr -> Term
            // Term -> Factor
            // Factor -> Signed
            // Signed -> Primary
            // Primary -> Atom
            // Atom -> number
            default: break;  // 3, 6, 8, 10, 12, 15: the value is already in place
        }

    FStackTop -= rule.Length - 1;
    const int state = FindGoto(rule.Lhs, rhs[-1].State);
    rhs[0].State = std::uint8_t(state);
    return state;
}

// Syntax error: the position goes back to the start of the offending token.
inline void TMathParser::Error(int code) {
    FTokenError = code;
    FPosition -= FTokenLength;
}

void TMathParser::Parse() { Parse(nullptr); }

void TMathParser::Record(TParseRecorder& recorder) { Parse(&recorder); }

void TMathParser::Parse(TParseRecorder* recorder) {
    FPosition = 1;
    FStackTop = 0;
    FTokenError = 0;
    FMathError = false;
    // Stays so if an arithmetic fault escapes.
    FParseFailed = true;
    FParseValue = 0;

    Push(0, TTokenRecord{});
    FToken = NextToken();
    if (recorder)
        Run<true>(recorder);
    else
        Run<false>(nullptr);

    if (FTokenError != 0 && OnParseError) OnParseError(*this, FTokenError);
    if (FMathError || FTokenError != 0) {
        FParseFailed = true;
        FParseValue = 0;
    } else {
        FParseFailed = false;
        FParseValue = recorder ? 0 : FStack[FStackTop - 1].Value;
    }
}

void TMathParser::RunAutomaton() { Run<false>(nullptr); }

template <bool Record>
void TMathParser::Run(TParseRecorder* recorder) {
    int state = FStack[FStackTop - 1].State;  // of the top entry, kept in step with it
    // A number that does not convert sets its code while scanning, and so stops the loop
    // before its token is looked at.
    while (FTokenError == 0) {
        if (ActionTrace) ActionTrace(*this, state, FToken);
        const TAction action = FindAction(state, FToken);
        // Tested in order of frequency: these branches predict better than one jump
        // through a table.
        if (action.Kind == TActionKind::Reduce) {
            state = Reduce<Record>(action.Arg, recorder);
        } else if (action.Kind == TActionKind::Shift) {
            Shift<Record>(action.Arg, recorder);
            state = action.Arg;
        } else if (action.Kind == TActionKind::Accept) {
            return;
        } else if (action.Kind == TActionKind::MathErrorAccept) {
            FMathError = true;
            return;
        } else if (action.Kind == TActionKind::Error) {
            Error(action.Arg);
        } else {
            ParserTables::BadTokenState();
        }
    }
}
