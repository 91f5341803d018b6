#pragma once
// An ICC profile for colours a file describes by ITU-T H.273 code points (HEIF's nclx box), so
// that such a picture shows, and saves, like one that carries a profile of its own.
#include <cstdint>
#include <vector>

#include "image/Heif.h"

// The profile for these primaries and transfer; empty when the codes say sRGB (or say
// nothing), or name colours a profile of this kind cannot hold (PQ, HLG, unknown codes), in
// which case the picture is shown as stored.
std::vector<std::uint8_t> IccProfileForCodes(const HeifColourCodes& codes);
