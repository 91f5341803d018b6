#pragma once
// Random formulas over the whole grammar, for differential tests: numbers in every written
// form, the given variable names, every function in mixed case, powers, unary minus, deep
// nesting, domain errors and overflows, and now and then a syntax slip or a "!".
#include <cstdint>
#include <random>
#include <string>
#include <vector>

class RandomFormula {
public:
    RandomFormula(std::uint32_t seed, std::vector<std::string> names) : random_(seed), names_(std::move(names)) {}

    std::string Next() {
        std::string text = Expression(int(Below(7)));
        if (Below(12) == 0) Slip(text);
        return text;
    }
    std::uint32_t Below(std::uint32_t n) { return std::uint32_t(random_() % n); }
    std::mt19937& Engine() { return random_; }

private:
    std::string Expression(int depth) {
        std::string text = Term(depth);
        for (int n = int(Below(3)); n > 0; --n) text += (Below(2) ? "+" : "-") + Term(depth);
        return text;
    }
    std::string Term(int depth) {
        std::string text = Factor(depth);
        for (int n = int(Below(3)); n > 0; --n) text += (Below(2) ? "*" : "/") + Factor(depth);
        return text;
    }
    std::string Factor(int depth) {
        std::string text = (Below(5) == 0 ? "-" : "") + Atom(depth);
        if (Below(5) == 0) text += "^" + Factor(depth - 1);
        return text;
    }
    std::string Atom(int depth) {
        static const char* const functions[] = {"ABS",  "ATAN", "COS",   "EXP",  "LN",  "ROUND", "SIN",
                                                "SQRT", "SQR",  "TRUNC", "sqrt", "Exp", "ln",    "Sqr"};
        if (depth > 0) {
            switch (Below(4)) {
                case 0: return "(" + Expression(depth - 1) + ")";
                case 1: return std::string(functions[Below(std::size(functions))]) + "(" + Expression(depth - 1) + ")";
                default: break;
            }
        }
        if (!names_.empty() && Below(2) == 0) return names_[Below(std::uint32_t(names_.size()))];
        return Number();
    }
    std::string Number() {
        static const char* const special[] = {
            "0",       "1",     "255",   "0.5",   ".5",    "1E4000", "1E4930",
            "1e-4950", "11356", "11357", "2.5E3", "1E9",   "9E18",   "3.14159265358979323846",
            "1E2466",  "7",     "00012", "1E-5",  "255.5", "0.0"};
        if (Below(3) == 0) return special[Below(std::size(special))];
        std::string text = std::to_string(Below(1000));
        if (Below(3) == 0) text += "." + std::to_string(Below(100));
        return text;
    }
    // A typical mistake: a character dropped, doubled or replaced, or an error mark.
    void Slip(std::string& text) {
        static const char pieces[] = "+-*/^()!.E ,x";
        const std::size_t at = Below(std::uint32_t(text.size() + 1));
        switch (Below(3)) {
            case 0:
                if (at < text.size()) text.erase(at, 1);
                break;
            case 1: text.insert(at, 1, pieces[Below(sizeof pieces - 1)]); break;
            default:
                if (at < text.size()) text[at] = pieces[Below(sizeof pieces - 1)];
                break;
        }
    }

    std::mt19937 random_;
    std::vector<std::string> names_;
};
