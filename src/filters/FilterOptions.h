#pragma once
// The flag and selector values the filter routines take.

// Which channels Invert and Logaritmize change.
enum class ChannelSelector { All, Red, Green, Blue };

enum class ContrastStep { Increase, Decrease };
enum class SharpnessStep { Increase, Decrease };

// Horizontal: left and right change places. Vertical: top and bottom change places.
enum class MirrorAxis { Horizontal, Vertical };
