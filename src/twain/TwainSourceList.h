#pragma once
// The manager's sources, listed for the program's own selection when the manager has no
// selection box.
#include <string>
#include <vector>

#include "twain/TwainTypes.h"
#include "twain/TwainUserInterface.h"

namespace twain {

struct TSourceList {
    std::vector<TW_IDENTITY> Sources;
    int Default = -1;  // the manager's default source in the list, or the first; -1 when empty
};

// Lists the sources with DAT_IDENTITY / MSG_GETFIRST and MSG_GETNEXT, then asks
// MSG_GETDEFAULT for the one to choose first. Entered in state 3.
TSourceList ListSources();

// A source as the program's own list shows it.
TTwainSourceEntry SourceEntry(const TW_IDENTITY& source);

}  // namespace twain
