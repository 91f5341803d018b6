#include "FormulaProgram.h"

#include <cstring>
#include <map>
#include <tuple>

#include "ParserMath.h"

// Turns a recording parse into instructions. The parse's stack of operands becomes a stack of
// instruction numbers. The scanner asks OnGetVar for a name just before the parser shifts that
// name's token, so the name last looked up tells a variable's operand from a number's.
class TProgramRecorder final : public TParseRecorder {
public:
    explicit TProgramRecorder(TFormulaProgram& program) : program_(program) {}

    int PendingVariable = -1;
    std::vector<std::uint32_t> Operands;

    void Operand(const TTokenRecord& token) override {
        using TOp = TFormulaProgram::TOp;
        if (PendingVariable >= 0)
            Operands.push_back(Emit({TOp::Variable, std::uint8_t(PendingVariable), 0, 0, 0}));
        else
            Operands.push_back(Emit({TOp::Number, 0, 0, 0, token.Value}));
        PendingVariable = -1;
    }

    void Operation(TFormulaOperation operation, TFunction function) override {
        using TOp = TFormulaProgram::TOp;
        static constexpr TOp Ops[] = {TOp::Add,   TOp::Subtract, TOp::Multiply, TOp::Divide,
                                      TOp::Power, TOp::Negate,   TOp::Function};
        const TOp op = Ops[int(operation)];
        TFormulaProgram::TInstruction step{op, std::uint8_t(function), 0, 0, 0};
        if (op == TOp::Negate || op == TOp::Function) {
            step.Left = Operands.back();
        } else {
            step.Right = Operands.back();
            Operands.pop_back();
            step.Left = Operands.back();
        }
        Operands.back() = Emit(step);
    }

private:
    // The number of the instruction that computes `step`, added unless an equal one exists.
    // Numbers are told apart by their bits, so 0 and -0 stay apart.
    std::uint32_t Emit(const TFormulaProgram::TInstruction& step) {
        unsigned char bits[10];
        std::memcpy(bits, &step.Value, sizeof bits);
        const auto key = std::make_tuple(int(step.Op), int(step.Arg), step.Left, step.Right,
                                         std::string(reinterpret_cast<const char*>(bits), sizeof bits));
        if (const auto found = known_.find(key); found != known_.end()) return found->second;
        const auto number = std::uint32_t(program_.code_.size());
        program_.code_.push_back(step);
        known_.emplace(key, number);
        return number;
    }

    TFormulaProgram& program_;
    std::map<std::tuple<int, int, std::uint32_t, std::uint32_t, std::string>, std::uint32_t> known_;
};

TFormulaProgram::TFormulaProgram(const std::string& formula, const std::vector<std::string>& variables) {
    TMathParser parser;
    parser.ParseString = formula;
    TProgramRecorder recorder(*this);
    parser.OnGetVar = [&](TMathParser&, const std::string& name, long double&, bool& found) {
        for (std::size_t i = 0; i < variables.size() && !found; ++i)
            if (name == variables[i]) {
                found = true;
                recorder.PendingVariable = int(i);
            }
    };
    parser.Record(recorder);
    syntaxFailed_ = parser.ParseFailed();
    if (!syntaxFailed_ && !recorder.Operands.empty()) result_ = recorder.Operands.back();
}

long double TFormulaProgram::Evaluate(const long double* values) const {
    // One value per instruction; formulas are short, so they fit on the stack.
    constexpr std::size_t OnStack = 1024;
    long double local[OnStack];
    std::vector<long double> heap;
    long double* v = local;
    if (code_.size() > OnStack) {
        heap.resize(code_.size());
        v = heap.data();
    }
    bool mathError = false;
    for (std::size_t i = 0; i < code_.size(); ++i) {
        const TInstruction& step = code_[i];
        switch (step.Op) {
        case TOp::Number: v[i] = step.Value; break;
        case TOp::Variable: v[i] = values[step.Arg]; break;
        case TOp::Add: v[i] = Add(v[step.Left], v[step.Right]); break;
        case TOp::Subtract: v[i] = Subtract(v[step.Left], v[step.Right]); break;
        case TOp::Multiply: v[i] = Multiply(v[step.Left], v[step.Right]); break;
        case TOp::Divide: v[i] = Divide(v[step.Left], v[step.Right], mathError); break;
        case TOp::Power: v[i] = Power(v[step.Left], v[step.Right], mathError); break;
        case TOp::Negate: v[i] = -v[step.Left]; break;
        case TOp::Function: v[i] = ApplyFunction(TFunction(step.Arg), v[step.Left], mathError); break;
        }
    }
    if (syntaxFailed_ || mathError) return 0;
    return v[result_];
}
