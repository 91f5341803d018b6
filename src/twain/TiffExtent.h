#pragma once
// How many bytes a TIFF handed over in memory occupies. A native transfer's handle carries
// no size, so the TIFF's own structure has to say where it ends before its reader can be
// given a bounded block.
#include <cstddef>
#include <cstdint>

// True for the first four bytes of a classic TIFF, either byte order ("II*\0", "MM\0*").
bool IsTiffSignature(const std::uint8_t* data);

// The end of the furthest part the reader of the first page visits: the header, the first
// directory with its entries and next-directory link, every value stored outside an entry,
// and every strip or tile. 0 when the structure is unusable (a directory inside the header,
// counts past any real file). Only the first directory is walked, as the reader reads only
// the first page.
std::size_t TiffExtent(const std::uint8_t* data);
