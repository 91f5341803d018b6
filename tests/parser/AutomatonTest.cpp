// The automaton's tables: every cell of the action table is reached, and the consistency
// guards fire where the tables have no entry.
//
// Coverage is measured, not assumed: the driver reports each (state, lookahead) pair it
// looks up through ActionTrace. First a corpus of every sequence of up to five tokens (one
// spelling per token kind, separated by spaces) is parsed. That reaches every cell a formula
// can reach, but not all: an LR table gives a whole row its default reduction, including
// lookaheads that cannot follow there ("*" after a complete Expr, "^" after a Factor). Those
// cells are then reached by starting the automaton on a stack recorded from the corpus for
// that state, with the lookahead put in by hand. States 7, 18 and 26 are never entered and
// have no actions; their cells are checked through the lookup, which must refuse them.
#include "parser/Parser.h"
#include "parser/ParserTables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// A parser whose automaton can be started from a given stack and lookahead.
class TracedParser : public TMathParser {
public:
    static inline bool Visited[StateCount][TokenCount];
    static inline std::vector<TTokenRecord> StackOf[StateCount];  // first one seen per state

    TracedParser() { ActionTrace = Record; }

    void RunFrom(const std::vector<TTokenRecord>& stack, TToken lookahead) {
        ParseString.clear();  // whatever is scanned next is the end
        FPosition = 1;
        FTokenLength = 0;
        FTokenError = 0;
        FMathError = false;
        FStackTop = int(stack.size());
        std::copy(stack.begin(), stack.end(), FStack);
        FToken = lookahead;
        RunAutomaton();
    }

private:
    static void Record(const TMathParser& parser, int state, TToken token) {
        const auto& self = static_cast<const TracedParser&>(parser);
        Visited[state][token] = true;
        if (StackOf[state].empty()) StackOf[state].assign(self.FStack, self.FStack + self.FStackTop);
    }
};

// One spelling per token kind except the end, which closes every formula.
const char* const Representatives[] = {"+", "-", "*", "/", "^", "(", ")", "1", "SIN", "#", "!"};
static_assert(std::size(Representatives) == TokenCount - 1);

void ParseAllSequences(TracedParser& parser, const std::string& prefix, int tokensLeft) {
    parser.ParseString = prefix;
    parser.Parse();
    if (tokensLeft == 0) return;
    for (const char* token : Representatives)
        ParseAllSequences(parser, prefix.empty() ? token : prefix + " " + token, tokensLeft - 1);
}

bool Live(int state) {
    for (int token = 0; token < TokenCount; ++token)
        if (ParserTables::Action[state][token].Kind != TActionKind::None) return true;
    return false;
}

TEST(AutomatonTest, EveryActionCellIsReached) {
    TracedParser parser;
    ParseAllSequences(parser, "", 5);

    std::set<std::pair<int, int>> injected;
    for (int state = 0; state < StateCount; ++state) {
        if (!Live(state)) continue;
        ASSERT_FALSE(TracedParser::StackOf[state].empty()) << "state " << state << " never entered";
        for (int token = 0; token < TokenCount; ++token)
            if (!TracedParser::Visited[state][token]) injected.insert({state, token});
    }
    for (auto [state, token] : injected) {
        TracedParser resumed;
        resumed.RunFrom(TracedParser::StackOf[state], TToken(token));
    }
    for (int state = 0; state < StateCount; ++state)
        for (int token = 0; token < TokenCount; ++token)
            if (Live(state)) {
                EXPECT_TRUE(TracedParser::Visited[state][token]) << state << ", " << token;
            }

    // No formula reaches these: "*" and "/" are shifted before an Expr is complete, "^"
    // before a Factor is.
    const std::set<std::pair<int, int>> unreachable = {
        {1, tkTimes},  {1, tkDivide},  {1, tkPower},  {19, tkTimes}, {19, tkDivide}, {19, tkPower},
        {28, tkTimes}, {28, tkDivide}, {28, tkPower}, {2, tkPower},  {21, tkPower},  {22, tkPower},
        {3, tkPower},  {23, tkPower},  {24, tkPower}, {25, tkPower},
    };
    EXPECT_EQ(injected, unreachable);

    for (int state : {7, 18, 26}) {
        EXPECT_FALSE(Live(state));
        for (int token = 0; token < TokenCount; ++token) {
            try {
                FindAction(state, TToken(token));
                ADD_FAILURE() << "state " << state << " has an action";
            } catch (const EParserError& error) {
                EXPECT_STREQ(error.what(), "Bad token state");
            }
        }
    }
}

TEST(AutomatonTest, ProductionsWithoutReductionAreRejected) {
    for (int production : {0, 11, 13, 17, -1}) {
        try {
            FindProduction(production);
            ADD_FAILURE() << "production " << production << " was found";
        } catch (const EParserError& error) {
            EXPECT_STREQ(error.what(), "Invalid reduction");
        }
    }
    EXPECT_THROW(FindGoto(TSymbol::Expr, 1), EParserError);
    EXPECT_THROW(FindAction(StateCount, tkPlus), EParserError);
}

}  // namespace
