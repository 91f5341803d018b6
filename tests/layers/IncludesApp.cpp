// Compiled against each window library in turn: it must fail, since the windows stand below
// the program's main window and may not see its headers.
#include "app/UserInterface.h"
