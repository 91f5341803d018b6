#pragma once
// Whole scale factors, so that every picture pixel covers the same number of device pixels:
// at 125 % or 150 % one (dot for dot), at 200 % two. A fractional factor would make picture
// pixels one or two device pixels wide by turns, and the pointer fall between them.
#include <string>

// A factor as QT_SCALE_FACTOR gives it, rounded down to a whole one (at least 1); text that is
// not a number is passed on as it is, for Qt to judge.
std::string WholeScaleFactor(const std::string& factor);
// QT_SCREEN_SCALE_FACTORS' list ("1.5;2" or "DP-1=1.5;HDMI-1=2"), each factor whole.
std::string WholeScreenScaleFactors(const std::string& factors);

// Rewrites those two variables, and has Qt round the factors it works out itself down too.
// Called before the application is made.
void KeepScaleFactorsWhole();
