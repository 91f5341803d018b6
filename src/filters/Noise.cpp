#include "Noise.h"

#include <chrono>

std::uint32_t MillisecondsSinceUtcMidnight() {
    using namespace std::chrono;
    // The system clock counts UTC days of exactly 86,400 seconds.
    const auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
    const auto perDay = duration_cast<milliseconds>(days(1)).count();
    return static_cast<std::uint32_t>(((sinceEpoch.count() % perDay) + perDay) % perDay);
}
