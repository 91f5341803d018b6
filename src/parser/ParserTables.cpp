#include "parser/ParserTables.h"

#include "parser/Parser.h"

namespace ParserTables {

void BadTokenState() { throw EParserError("Bad token state"); }

void InvalidReduction() { throw EParserError("Invalid reduction"); }

}  // namespace ParserTables
