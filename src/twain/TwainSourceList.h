#pragma once
// The manager's sources, listed for the program's own selection when the manager has no
// selection box.
#include <string>
#include <vector>

#include "TwainTypes.h"

namespace twain {

struct TSourceList {
    std::vector<TW_IDENTITY> Sources;
    int Default = -1;  // the manager's default source in the list, or the first; -1 when empty
};

// Lists the sources with DAT_IDENTITY / MSG_GETFIRST and MSG_GETNEXT, then asks
// MSG_GETDEFAULT for the one to choose first. Entered in state 3.
TSourceList ListSources();

// A TW_STR32 field as text: up to its first NUL, never past its 34 bytes.
std::string SourceText(const TW_STR32& field);

}  // namespace twain
