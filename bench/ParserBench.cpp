// Parse speed: the custom filter parses three formulas per pixel, from scratch each time.
#include "parser/Parser.h"

#include <benchmark/benchmark.h>

namespace {

void ParseFormula(benchmark::State& state, const char* formula) {
    TMathParser parser;
    parser.ParseString = formula;
    for (auto _ : state) {
        parser.Parse();
        benchmark::DoNotOptimize(parser.ParseValue());
    }
    if (parser.ParseFailed()) state.SkipWithError("the formula did not parse");
    state.SetItemsProcessed(state.iterations());  // items/s = parses per second
}

BENCHMARK_CAPTURE(ParseFormula, Difference, "255-187");
BENCHMARK_CAPTURE(ParseFormula, Nested, "(200+13)/2*SQRT(49)");
BENCHMARK_CAPTURE(ParseFormula, Functions, "ROUND(100*SIN(0.5)+EXP(2))");

}  // namespace
