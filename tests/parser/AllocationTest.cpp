// A parse of a formula of usual length must not touch the heap: the custom filter runs
// three parses per pixel. Counts every operator new of this test program.
#include "parser/Parser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

namespace {
std::atomic<long> Allocations{0};
}

void* operator new(std::size_t size) {
    ++Allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(AllocationTest, ParseAllocatesNothing) {
    long counted = Allocations;
    std::string longText(100, 'x');  // the counter sees allocations at all
    ASSERT_GT(Allocations - counted, 0);

    TMathParser parser;
    parser.OnGetVar = [](TMathParser&, const std::string& name, long double& value, bool& found) {
        found = name == "R";
        value = 128;
    };
    int errors = 0;
    parser.OnParseError = [&](TMathParser&, int) { ++errors; };
    for (const char* formula : {"255-187", "(200+13)/2*SQRT(49)", "ROUND(100*SIN(0.5)+EXP(2))", "R*1.25-3.5e2", "(1+2",
                                "1/0", "3.14159265358979323846264338327950288*2", "2E"}) {
        parser.ParseString = formula;  // may allocate; the parse may not
        long before = Allocations;
        parser.Parse();
        EXPECT_EQ(Allocations - before, 0) << formula;
    }
    EXPECT_EQ(errors, 2);
}

}  // namespace
