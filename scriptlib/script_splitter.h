// Splits a script into statements in one linear pass. Statements end with the current
// terminator (";" at first, changed by SET TERM); strings, quoted identifiers and comments are
// skipped whole, and an EXECUTE BLOCK is taken whole under any terminator: it ends only after
// the END that closes its body.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xqv::script {

struct Statement {
    // As written, from its first character that is neither blank nor part of a comment up to
    // the terminator, trailing blanks removed. Comments inside it stay.
    std::string_view text;
    // False for the last statement when the script ends before its terminator.
    bool terminated = true;
    // True when the script ends inside a block comment: one the last statement holds, or one
    // after the last terminator, which is then handed out as the statement itself. Either way
    // the rest of the script is lost in it.
    bool openComment = false;
};

class StatementSplitter {
public:
    explicit StatementSplitter(std::string_view script) : script_(script) {}

    // The next statement; false at the end of the script. Empty statements (a terminator
    // after nothing but blanks and comments) are skipped. A SET TERM statement is handed out
    // like any other, and the new terminator holds from the next statement on.
    bool Next(Statement& statement);

    const std::string& Terminator() const { return terminator_; }

private:
    std::string_view script_;
    size_t pos_ = 0;
    std::string terminator_ = ";";
};

// The whole script at once (for tests and tools).
std::vector<Statement> SplitScript(std::string_view script);

// When statement is "SET TERM x" (any letter case), x is the new terminator: one or more
// characters, none of them blank or a quote, not starting a comment (the splitter would read a
// comment there, never the terminator).
bool ParseSetTerm(std::string_view statement, std::string_view& terminator);

} // namespace xqv::script
