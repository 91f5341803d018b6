#include "parser/FormulaProgram.h"

#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "parser/ParserMath.h"

// Turns a recording parse into instructions. The parse's stack of operands becomes a stack of
// instruction numbers. The scanner asks OnGetVar for a name just before the parser shifts that
// name's token, so the name last looked up tells a variable's operand from a number's.
class TProgramRecorder final : public TParseRecorder {
public:
    explicit TProgramRecorder(TFormulaProgram& program) : program_(program) {}

    // Starts the next formula: its operands and domain steps of its own, the instructions shared.
    void Begin(TFormulaProgram::TFormula& formula) {
        formula_ = &formula;
        Operands.clear();
        domainSteps_.clear();
        PendingVariable = -1;
    }

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
        if ((op == TOp::Divide || op == TOp::Power || op == TOp::Function) &&
            domainSteps_.insert(Operands.back()).second)
            formula_->DomainSteps.push_back(Operands.back());
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
    TFormulaProgram::TFormula* formula_ = nullptr;
    std::set<std::uint32_t> domainSteps_;
    std::map<std::tuple<int, int, std::uint32_t, std::uint32_t, std::string>, std::uint32_t> known_;
};

TFormulaProgram::TFormulaProgram(const std::string& formula, const std::vector<std::string>& variables)
    : TFormulaProgram(std::vector<std::string>{formula}, variables) {}

TFormulaProgram::TFormulaProgram(const std::vector<std::string>& formulas, const std::vector<std::string>& variables)
    : formulas_(formulas.size()) {
    TProgramRecorder recorder(*this);
    for (std::size_t f = 0; f < formulas.size(); ++f) {
        TMathParser parser;
        parser.ParseString = formulas[f];
        recorder.Begin(formulas_[f]);
        parser.OnGetVar = [&](TMathParser&, const std::string& name, long double&, bool& found) {
            for (std::size_t i = 0; i < variables.size() && !found; ++i)
                if (name == variables[i]) {
                    found = true;
                    recorder.PendingVariable = int(i);
                }
        };
        parser.Record(recorder);
        formulas_[f].SyntaxFailed = parser.ParseFailed();
        if (!formulas_[f].SyntaxFailed && !recorder.Operands.empty()) formulas_[f].Result = recorder.Operands.back();
    }
}

long double TFormulaProgram::Evaluate(const long double* values) const {
    if (formulas_.size() == 1) {
        long double result;
        Evaluate(values, &result);
        return result;
    }
    std::vector<long double> results(formulas_.size());
    Evaluate(values, results.data());
    return results[0];
}

void TFormulaProgram::Evaluate(const long double* values, long double* results) const {
    // One value and one domain error mark per instruction; formulas are short, so they fit on
    // the stack.
    constexpr std::size_t OnStack = 1024;
    long double localValues[OnStack];
    bool localErrors[OnStack];
    std::vector<long double> heapValues;
    std::vector<char> heapErrors;
    long double* v = localValues;
    bool* errors = localErrors;
    if (code_.size() > OnStack) {
        heapValues.resize(code_.size());
        heapErrors.resize(code_.size());
        v = heapValues.data();
        errors = reinterpret_cast<bool*>(heapErrors.data());
    }
    for (std::size_t i = 0; i < code_.size(); ++i) {
        const TInstruction& step = code_[i];
        bool& mathError = errors[i];
        mathError = false;
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
    for (std::size_t f = 0; f < formulas_.size(); ++f) {
        bool failed = formulas_[f].SyntaxFailed;
        for (const std::uint32_t step : formulas_[f].DomainSteps) failed = failed || errors[step];
        results[f] = failed ? 0 : v[formulas_[f].Result];
    }
}
