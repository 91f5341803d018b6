// The scanner half of TMathParser: one token of ParseString per call.
#include "parser/DecimalText.h"
#include "parser/Parser.h"

namespace {

constexpr std::string_view FunctionNames[FunctionCount] = {"ABS",   "ATAN", "COS",  "EXP", "LN",
                                                           "ROUND", "SIN",  "SQRT", "SQR", "TRUNC"};

constexpr int MaxExponentDigits = 4;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsIdentifierChar(char c) { return IsDigit(c) || IsLetter(c) || c == '_'; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

bool EqualsUpper(std::string_view identifier, std::string_view upperName) {
    if (identifier.size() != upperName.size()) return false;
    for (std::size_t i = 0; i < identifier.size(); ++i)
        if (AsciiUpper(identifier[i]) != upperName[i]) return false;
    return true;
}

}  // namespace

TToken TMathParser::NextToken() {
    // Re-read on every call: a variable handler may have replaced the text.
    const std::string_view text = ParseString;
    const int length = int(text.size());

    // Only the space is skipped; a tab is a bad token.
    while (FPosition <= length && text[FPosition - 1] == ' ') ++FPosition;
    if (FPosition > length) {
        FTokenLength = 0;
        return tkEnd;
    }

    const char c = text[FPosition - 1];
    if (c == '!') {
        FTokenLength = 0;
        return tkErrorMark;
    }
    if (IsDigit(c) || c == '.') return ScanNumber(text);
    if (IsLetter(c)) return ScanIdentifier(text);

    TToken token;
    switch (c) {
        case '+': token = tkPlus; break;
        case '-': token = tkMinus; break;
        case '*': token = tkTimes; break;
        case '/': token = tkDivide; break;
        case '^': token = tkPower; break;
        case '(': token = tkOpenParen; break;
        case ')': token = tkCloseParen; break;
        default: FTokenLength = 0; return tkBad;  // Position stays on the character
    }
    ++FPosition;
    FTokenLength = 1;
    return token;
}

// A literal: digits with at most one ".", then an optional exponent "E", sign and at most
// four digits. No sign leads a number: a minus before it is the parser's.
TToken TMathParser::ScanNumber(std::string_view text) {
    const std::size_t length = text.size();
    const int start = FPosition;
    std::size_t i = std::size_t(start - 1);
    bool point = false;
    bool digit = false;
    for (; i < length && (IsDigit(text[i]) || (text[i] == '.' && !point)); ++i) (text[i] == '.' ? point : digit) = true;
    if (!digit) {  // a lone "."
        FTokenLength = 0;
        return tkBad;
    }
    // The "E" is taken even without digits after it, and then the conversion fails.
    if (i < length && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < length && (text[i] == '+' || text[i] == '-')) ++i;
        for (int n = 0; n < MaxExponentDigits && i < length && IsDigit(text[i]); ++n) ++i;
    }

    const std::string_view number = text.substr(std::size_t(start - 1), i - std::size_t(start - 1));
    const TDecimalResult converted = ConvertDecimal(number);
    if (converted.ErrorIndex != 0) {
        FMathError = true;
        FTokenError = BadNumber;
        FPosition = start + converted.ErrorIndex - 1;
        FTokenLength = 0;
        return tkBad;  // not looked at: the parse stops on the error code
    }
    FCurrToken.Value = converted.Value;
    FPosition = start + int(number.size());
    FTokenLength = int(number.size());
    return tkNumber;
}

// A name: the whole run of letters, digits and "_" is a function name or a variable, so
// "SINX" is not SIN and "sqrt2" is not SQRT.
TToken TMathParser::ScanIdentifier(std::string_view text) {
    const int start = FPosition;
    std::size_t end = std::size_t(start - 1);
    while (end < text.size() && IsIdentifierChar(text[end])) ++end;
    const std::string_view identifier = text.substr(std::size_t(start - 1), end - std::size_t(start - 1));
    FPosition = start + int(identifier.size());

    for (int f = 0; f < FunctionCount; ++f) {
        if (EqualsUpper(identifier, FunctionNames[f])) {
            FCurrToken.Func = TFunction(f);
            FTokenLength = FPosition - start;
            return tkFunction;
        }
    }

    bool found = false;
    if (OnGetVar) {
        FCurrToken.Value = 0;
        OnGetVar(*this, std::string(identifier), FCurrToken.Value, found);
    }
    if (!found) {  // Position stays after the name
        FTokenLength = 0;
        return tkBad;
    }
    FTokenLength = FPosition - start;
    return tkNumber;
}
