// Placeholder until the decoder lands.
#include "Dib.h"
#include "Errors.h"
Bitmap DecodeBmpFile(const std::uint8_t*, std::size_t) { throw EInvalidGraphic(); }
Bitmap DecodePackedDib(const std::uint8_t*, std::size_t) { throw EInvalidGraphic(); }
std::vector<std::uint8_t> EncodeBmpFile(const Bitmap&) { return {}; }
std::vector<std::uint8_t> EncodePackedDib(const Bitmap&) { return {}; }
