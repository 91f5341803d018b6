#include "app/ScaleFactors.h"

#include <QGuiApplication>
#include <charconv>
#include <cmath>
#include <cstdlib>

std::string WholeScaleFactor(const std::string& factor) {
    double value = 0;
    const auto [end, error] = std::from_chars(factor.data(), factor.data() + factor.size(), value);
    if (error != std::errc() || end != factor.data() + factor.size() || !std::isfinite(value) || value <= 0)
        return factor;
    return std::to_string(std::max(1, int(std::min(std::floor(value), 64.0))));
}

std::string WholeScreenScaleFactors(const std::string& factors) {
    std::string whole;
    std::size_t start = 0;
    while (start <= factors.size()) {
        const std::size_t end = std::min(factors.find(';', start), factors.size());
        const std::string item = factors.substr(start, end - start);
        const std::size_t equals = item.rfind('=');
        const std::size_t at = equals == std::string::npos ? 0 : equals + 1;
        whole += item.substr(0, at) + WholeScaleFactor(item.substr(at));
        if (end == factors.size()) break;
        whole += ';';
        start = end + 1;
    }
    return whole;
}

void KeepScaleFactorsWhole() {
    if (const char* factor = std::getenv("QT_SCALE_FACTOR"))
        setenv("QT_SCALE_FACTOR", WholeScaleFactor(factor).c_str(), 1);
    if (const char* factors = std::getenv("QT_SCREEN_SCALE_FACTORS"))
        setenv("QT_SCREEN_SCALE_FACTORS", WholeScreenScaleFactors(factors).c_str(), 1);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Floor);
}
