#include "ParserTables.h"

#include "Parser.h"

namespace ParserTables {

void BadTokenState() { throw EParserError("Bad token state"); }

void InvalidReduction() { throw EParserError("Invalid reduction"); }

}  // namespace ParserTables
