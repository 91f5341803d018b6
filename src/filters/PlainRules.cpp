#include "filters/PlainRules.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {
// -1: not chosen, the environment decides; else 0 or 1.
std::atomic<int> plainOverride{-1};

bool PlainFromEnvironment() {
    const char* text = std::getenv("CORVALUX_PLAIN");
    return text && std::strcmp(text, "1") == 0;
}
}  // namespace

bool PlainRulesChosen() {
    static const bool fromEnvironment = PlainFromEnvironment();
    const int chosen = plainOverride.load(std::memory_order_relaxed);
    return chosen < 0 ? fromEnvironment : chosen == 1;
}

void ChoosePlainRules(bool plain) { plainOverride.store(plain ? 1 : 0, std::memory_order_relaxed); }
