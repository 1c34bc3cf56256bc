#include "script_splitter.h"

#include <cstring>
#include "sql_text.h"

namespace xqv::script {

namespace {

// The position after the alternative literal q'<x>...<y>' starting at pos, where <y> closes
// the bracket <x> or repeats any other character.
size_t SkipAlternativeQuoted(std::string_view text, size_t pos) {
    if (pos + 2 >= text.size()) return text.size();
    const char open = text[pos + 2];
    char close = open;
    switch (open) {
    case '(':
        close = ')';
        break;
    case '[':
        close = ']';
        break;
    case '{':
        close = '}';
        break;
    case '<':
        close = '>';
        break;
    }
    const char end[] = {close, '\''};
    const size_t found = text.find(std::string_view(end, 2), pos + 3);
    return found == std::string_view::npos ? text.size() : found + 2;
}

bool StartsExecuteBlock(std::string_view text, size_t pos) {
    return IsKeyword(NextWord(text, pos), "EXECUTE") && IsKeyword(NextWord(text, pos), "BLOCK");
}

} // namespace

bool StatementSplitter::Next(Statement& statement) {
    const std::string_view text = script_;
    const size_t size = text.size();
    for (;;) {
        size_t openComment;
        const size_t start = SkipBlanksAndComments(text, pos_, &openComment);
        if (start >= size) {
            pos_ = size;
            if (openComment == std::string_view::npos) return false;
            statement.text = TrimRight(text.substr(openComment));
            statement.terminated = false;
            statement.openComment = true;
            return true;
        }
        // Characters that may start something other than plain statement text.
        bool special[256] = {};
        for (unsigned char c : {'\'', '"', '/', '-', 'q', 'Q'})
            special[c] = true;
        special[static_cast<unsigned char>(terminator_[0])] = true;
        const bool block = StartsExecuteBlock(text, start);
        if (block)
            for (int c = 0; c < 256; ++c)
                special[c] = special[c] || IsWordChar(char(c));

        int depth = 0;      // open BEGIN and CASE of an EXECUTE BLOCK
        bool body = false;  // the block's first BEGIN has been seen
        size_t end = size;  // where the statement's text ends
        size_t next = size; // where the next statement's search starts
        bool terminated = false;
        bool commentOpen = false;
        size_t i = start;
        while (i < size) {
            const char c = text[i];
            if (!special[static_cast<unsigned char>(c)]) {
                ++i;
                continue;
            }
            if (c == '\'' || c == '"') {
                i = SkipQuoted(text, i);
                continue;
            }
            const size_t afterComment = SkipComment(text, i);
            if (afterComment != i) {
                commentOpen = afterComment == size && OpensUnclosedComment(text, i);
                i = afterComment;
                continue;
            }
            const bool wordStart = i == start || !IsWordChar(text[i - 1]);
            if ((c == 'q' || c == 'Q') && wordStart && i + 1 < size && text[i + 1] == '\'') {
                i = SkipAlternativeQuoted(text, i);
                continue;
            }
            if (c == terminator_[0] && text.compare(i, terminator_.size(), terminator_) == 0 &&
                (!block || (body && depth == 0))) {
                end = i;
                next = i + terminator_.size();
                terminated = true;
                break;
            }
            if (block && IsWordChar(c) && wordStart) {
                size_t w = i;
                while (w < size && IsWordChar(text[w]))
                    ++w;
                const std::string_view word = text.substr(i, w - i);
                if (IsKeyword(word, "BEGIN")) {
                    ++depth;
                    body = true;
                } else if (IsKeyword(word, "CASE")) {
                    ++depth;
                } else if (IsKeyword(word, "END") && depth > 0) {
                    --depth;
                }
                i = w;
                continue;
            }
            ++i;
        }
        pos_ = next;
        statement.text = TrimRight(text.substr(start, end - start));
        statement.terminated = terminated;
        statement.openComment = commentOpen;
        if (statement.text.empty()) continue;
        std::string_view newTerminator;
        if (terminated && ParseSetTerm(statement.text, newTerminator))
            terminator_.assign(newTerminator);
        return true;
    }
}

std::vector<Statement> SplitScript(std::string_view script) {
    std::vector<Statement> statements;
    StatementSplitter splitter(script);
    Statement statement;
    while (splitter.Next(statement))
        statements.push_back(statement);
    return statements;
}

bool ParseSetTerm(std::string_view statement, std::string_view& terminator) {
    size_t pos = 0;
    if (!IsKeyword(NextWord(statement, pos), "SET") || !IsKeyword(NextWord(statement, pos), "TERM"))
        return false;
    std::string_view rest = statement.substr(pos);
    while (!rest.empty() && IsBlank(rest.front()))
        rest.remove_prefix(1);
    rest = TrimRight(rest);
    if (rest.empty() || SkipComment(rest, 0) != 0) return false;
    for (char c : rest)
        if (IsBlank(c) || c == '\'' || c == '"') return false;
    terminator = rest;
    return true;
}

} // namespace xqv::script
