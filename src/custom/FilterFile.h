#pragma once
// Filter files (".fil"): three lines of 8-bit text, the red, green and blue formulas.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "custom/FilterFormulas.h"

// Reads the three lines out of a file's bytes. A carriage return ends a line and a line
// feed right after it is skipped; a lone line feed stays in the text. Byte 26 or the end of
// the bytes ends the text; lines that are missing read as empty.
TFilterFormulas ReadFilterText(const std::vector<std::uint8_t>& bytes);

// The three formulas as written to a file, each line ended by CR LF.
std::vector<std::uint8_t> FilterFileBytes(const TFilterFormulas& formulas);

// The largest filter file read: a megabyte, far more than any three formulas.
constexpr std::size_t MaxFilterFileBytes = std::size_t(1) << 20;

// Throw EFileError with the system's message, or for a file past MaxFilterFileBytes; a FIFO or device is refused as
// "not a regular file" without being opened. Saving never leaves a half-written file: either the old file stays or the
// new one is complete.
TFilterFormulas LoadFilterFile(const std::string& path);
void SaveFilterFile(const std::string& path, const TFilterFormulas& formulas);
