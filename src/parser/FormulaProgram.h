#pragma once
// A formula parsed once and evaluated many times. TMathParser records the operations its parse
// performs, in order, over numbers and named variables; Evaluate performs them again with the
// variables' values of the moment. The operations are the parser's own (ParserMath.h), on the
// same long doubles in the same order, so the result is the parse's result to the last bit:
//
//   TFormulaProgram program("SQRT(X)*16+Y", {"X", "Y"});
//   const long double values[] = {49, 1};
//   program.Evaluate(values);   // 113, as parsing "SQRT(49)*16+1"
//
// That holds where a number written in place of each name would scan as one number token, as
// the name does: the caller judges that.
#include <cstdint>
#include <string>
#include <vector>

#include "parser/Parser.h"

class TFormulaProgram {
public:
    // Parses `formula`, with each of `variables` (case-sensitive, as written) an operand whose
    // value Evaluate is given. Never throws for the formula's content.
    TFormulaProgram(const std::string& formula, const std::vector<std::string>& variables);
    // Several formulas over the same variables in one program, a subformula they share
    // computed once.
    TFormulaProgram(const std::vector<std::string>& formulas, const std::vector<std::string>& variables);

    // The formula's value with variables[i] = values[i]: what TMathParser's ParseValue gives,
    // 0 on a syntax or domain error. Throws EOverflow (or EInvalidOp) where the parse throws.
    // Safe to call from several threads at once.
    long double Evaluate(const long double* values) const;
    // Every formula's value into results[0 ..]; throws where any of their parses would.
    void Evaluate(const long double* values, long double* results) const;

    // True when the (first) formula does not parse, whatever the values: Evaluate still performs
    // the operations before the error, which can overflow, and then gives 0.
    bool SyntaxFailed() const { return formulas_[0].SyntaxFailed; }
    // The instructions kept, repeated subformulas counted once.
    std::size_t Size() const { return code_.size(); }

private:
    enum class TOp : std::uint8_t { Number, Variable, Add, Subtract, Multiply, Divide, Power, Negate, Function };
    // Instruction i computes value i from the values Left and Right of earlier instructions.
    // An operation written again on the same values (the same subformula twice) is recorded
    // once: it would give the same value, set the same domain error or have thrown already.
    struct TInstruction {
        TOp Op;
        std::uint8_t Arg;  // the variable's index, or the function
        std::uint32_t Left = 0, Right = 0;
        long double Value = 0;
    };
    friend class TProgramRecorder;

    // Per formula: the instruction giving its value, and those of its instructions that can
    // meet a domain error, which makes its value 0.
    struct TFormula {
        std::uint32_t Result = 0;
        bool SyntaxFailed = false;
        std::vector<std::uint32_t> DomainSteps;
    };

    std::vector<TInstruction> code_;
    std::vector<TFormula> formulas_;
};
