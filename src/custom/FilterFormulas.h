#pragma once
// The three formulas of a custom filter: the new red, green and blue of a pixel, written
// over its old values R1, G1 and B1.
#include <string>

struct TFilterFormulas {
    std::string Red, Green, Blue;
    bool operator==(const TFilterFormulas&) const = default;
};

// The formula as it is applied: every space removed. The window keeps the spaces as typed.
inline std::string RemoveSpaces(std::string formula) {
    std::erase(formula, ' ');
    return formula;
}

inline TFilterFormulas RemoveSpaces(const TFilterFormulas& formulas) {
    return {RemoveSpaces(formulas.Red), RemoveSpaces(formulas.Green), RemoveSpaces(formulas.Blue)};
}
