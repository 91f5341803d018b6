#pragma once
// TMathParser evaluates one arithmetic formula to a long double. A table-driven LR automaton
// (ParserTables.h) parses and evaluates in one pass over a fixed stack of 15 entries: each
// reduction computes its value at once, nothing is built or kept between parses, and a parse
// of a formula of usual length allocates nothing.
//
//   parser.ParseString = "(200+13)/2*SQRT(49)";
//   parser.Parse();   // ParseFailed() false, ParseValue() 745.5
//
// Syntax errors leave an error code and position; domain errors (division by zero, LN(0),
// ...) only fail the parse. A result of +, -, * or / beyond the long double range throws
// EOverflow out of Parse, an invalid operation on infinite variables EInvalidOp; the parse
// then counts as failed.
#include "common/Errors.h"
#include "parser/Token.h"

#include <functional>
#include <string>
#include <string_view>

// What a recording parse (TMathParser::RecordAutomaton) hands on instead of computing: each
// operand as it is shifted, and each operation as its reduction would perform it.
enum class TFormulaOperation : std::uint8_t { Add, Subtract, Multiply, Divide, Power, Negate, Function };
class TParseRecorder {
public:
    virtual void Operand(const TTokenRecord& token) = 0;
    virtual void Operation(TFormulaOperation operation, TFunction function) = 0;

protected:
    ~TParseRecorder() = default;
};

// Internal inconsistency of the automaton ("Bad token state", "Invalid reduction"); the
// tables as they stand never raise it.
class EParserError : public ECorvalux {
public:
    using ECorvalux::ECorvalux;
};

class TMathParser {
public:
    static constexpr int StackSize = 15;

    // Error codes left in TokenError().
    static constexpr int StackFull = 1;         // more than 15 stack entries (deep nesting)
    static constexpr int OperandExpected = 3;   // number, variable, function, "(" or "-" missing
    static constexpr int OperatorExpected = 4;  // top level: operator or end missing
    static constexpr int ParenExpected = 5;     // a function name without "("
    static constexpr int CloseExpected = 6;     // in parentheses: operator or ")" missing
    static constexpr int BadNumber = 7;         // a number that does not convert

    std::string ParseString;
    // Asked for every identifier that is not a function name, with the name as written and
    // Value 0, Found false. A handler that knows the name sets both. It must not call Parse
    // on the same parser.
    std::function<void(TMathParser& Sender, const std::string& VarName, long double& Value, bool& Found)> OnGetVar;
    // Called once at the end of a parse that set an error code, with the code.
    std::function<void(TMathParser& Sender, int ParseError)> OnParseError;

    void Parse();
    // Parse without the arithmetic: every operand shifted and every operation reduced goes to
    // `recorder`, in the order in which Parse computes them. Nothing is thrown for overflow;
    // errors set TokenError, MathError and ParseFailed as they do in Parse, ParseValue is 0.
    void Record(TParseRecorder& recorder);
    long double ParseValue() const { return FParseValue; }  // 0 when the parse failed
    bool ParseFailed() const { return FParseFailed; }
    int TokenError() const { return FTokenError; }  // 0 or the error code of the last parse
    int Position() const { return FPosition; }      // 1-based scan position after the last parse

    // The scanner: reads one token of ParseString from Position(), moves Position() past
    // it and returns its kind; a number's or variable's value and a function go into
    // CurrToken(). Parse starts it at position 1; a new parser stands there too.
    TToken NextToken();
    int TokenLength() const { return FTokenLength; }
    bool MathError() const { return FMathError; }
    const TTokenRecord& CurrToken() const { return FCurrToken; }

    // Called with every (state, lookahead) pair the automaton looks up; for tests.
    void (*ActionTrace)(const TMathParser& parser, int state, TToken token) = nullptr;

protected:
    // The shift-reduce loop, from the stack and lookahead as they stand until it accepts or
    // an error code is set. Protected so that tests can start it in any configuration.
    void RunAutomaton();

    TTokenRecord FCurrToken;
    TTokenRecord FStack[StackSize];
    int FStackTop = 0;
    TToken FToken = tkEnd;
    int FPosition = 1;
    int FTokenLength = 0;
    int FTokenError = 0;
    bool FMathError = false;
    bool FParseFailed = false;
    long double FParseValue = 0;

private:
    TToken ScanNumber(std::string_view text);
    TToken ScanIdentifier(std::string_view text);

    void Parse(TParseRecorder* recorder);
    bool Push(int state, const TTokenRecord& token);
    // Recording or not is a template argument, so the computing parse keeps its own code.
    template <bool Record>
    void Shift(int state, TParseRecorder* recorder);
    template <bool Record>
    int Reduce(int production, TParseRecorder* recorder);
    template <bool Record>
    void Run(TParseRecorder* recorder);
    void Error(int code);
};
