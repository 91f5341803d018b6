#pragma once
// Running table commands by name in the tests.
#include <string_view>

#include <gtest/gtest.h>

#include "filters/FilterCommands.h"

// Runs the named command with a fixed noise seed.
inline void RunNamed(Bitmap& picture, TRect& selection, std::string_view name, std::uint32_t seed = 7) {
    const FilterCommand* command = FindFilterCommand(name);
    ASSERT_NE(command, nullptr) << name;
    FilterContext context{picture, selection, [seed] { return seed; }};
    RunFilterCommand(*command, context);
}
inline void RunNamed(Bitmap& picture, std::string_view name, std::uint32_t seed = 7) {
    TRect all{0, 0, picture.Width() - 1, picture.Height() - 1};
    RunNamed(picture, all, name, seed);
}
