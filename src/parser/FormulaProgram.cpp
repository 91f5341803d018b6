#include "FormulaProgram.h"

#include "ParserMath.h"

// Turns a recording parse into instructions. The scanner asks OnGetVar for a name just before
// the parser shifts that name's token, so the name last looked up tells a variable's operand
// from a number's.
class TProgramRecorder final : public TParseRecorder {
public:
    explicit TProgramRecorder(std::vector<TFormulaProgram::TInstruction>& code) : code_(code) {}

    int PendingVariable = -1;

    void Operand(const TTokenRecord& token) override {
        if (PendingVariable >= 0)
            code_.push_back({TFormulaProgram::TOp::Variable, std::uint8_t(PendingVariable), 0});
        else
            code_.push_back({TFormulaProgram::TOp::Number, 0, token.Value});
        PendingVariable = -1;
    }

    void Operation(TFormulaOperation operation, TFunction function) override {
        using TOp = TFormulaProgram::TOp;
        static constexpr TOp Ops[] = {TOp::Add,   TOp::Subtract, TOp::Multiply, TOp::Divide,
                                      TOp::Power, TOp::Negate,   TOp::Function};
        code_.push_back({Ops[int(operation)], std::uint8_t(function), 0});
    }

private:
    std::vector<TFormulaProgram::TInstruction>& code_;
};

TFormulaProgram::TFormulaProgram(const std::string& formula, const std::vector<std::string>& variables) {
    TMathParser parser;
    parser.ParseString = formula;
    TProgramRecorder recorder(code_);
    parser.OnGetVar = [&](TMathParser&, const std::string& name, long double&, bool& found) {
        for (std::size_t i = 0; i < variables.size() && !found; ++i)
            if (name == variables[i]) {
                found = true;
                recorder.PendingVariable = int(i);
            }
    };
    parser.Record(recorder);
    syntaxFailed_ = parser.ParseFailed();
}

long double TFormulaProgram::Evaluate(const long double* values) const {
    // The parser's stack never holds more than StackSize entries, so neither does this one.
    long double stack[TMathParser::StackSize];
    int top = -1;
    bool mathError = false;
    for (const TInstruction& step : code_) {
        switch (step.Op) {
        case TOp::Number: stack[++top] = step.Value; break;
        case TOp::Variable: stack[++top] = values[step.Arg]; break;
        case TOp::Add: --top, stack[top] = Add(stack[top], stack[top + 1]); break;
        case TOp::Subtract: --top, stack[top] = Subtract(stack[top], stack[top + 1]); break;
        case TOp::Multiply: --top, stack[top] = Multiply(stack[top], stack[top + 1]); break;
        case TOp::Divide: --top, stack[top] = Divide(stack[top], stack[top + 1], mathError); break;
        case TOp::Power: --top, stack[top] = Power(stack[top], stack[top + 1], mathError); break;
        case TOp::Negate: stack[top] = -stack[top]; break;
        case TOp::Function: stack[top] = ApplyFunction(TFunction(step.Arg), stack[top], mathError); break;
        }
    }
    if (syntaxFailed_ || mathError) return 0;
    return stack[top];
}
