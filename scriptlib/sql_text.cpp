#include "sql_text.h"

namespace xqv::script {

bool IsKeyword(std::string_view word, std::string_view upperKeyword) {
    if (word.size() != upperKeyword.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upperKeyword[i]) return false;
    }
    return true;
}

size_t SkipComment(std::string_view text, size_t pos) {
    if (pos + 1 >= text.size()) return pos;
    if (text[pos] == '/' && text[pos + 1] == '*') {
        const size_t close = text.find("*/", pos + 2);
        return close == std::string_view::npos ? text.size() : close + 2;
    }
    if (text[pos] == '-' && text[pos + 1] == '-') {
        const size_t eol = text.find('\n', pos + 2);
        return eol == std::string_view::npos ? text.size() : eol + 1;
    }
    return pos;
}

bool OpensUnclosedComment(std::string_view text, size_t pos) {
    return text.compare(pos, 2, "/*") == 0 && text.find("*/", pos + 2) == std::string_view::npos;
}

size_t SkipBlanksAndComments(std::string_view text, size_t pos, size_t* openComment) {
    if (openComment) *openComment = std::string_view::npos;
    while (pos < text.size()) {
        if (IsBlank(text[pos])) {
            ++pos;
            continue;
        }
        const size_t after = SkipComment(text, pos);
        if (after == pos) break;
        if (openComment && after == text.size() && OpensUnclosedComment(text, pos))
            *openComment = pos;
        pos = after;
    }
    return pos;
}

std::string_view NextWord(std::string_view text, size_t& pos) {
    pos = SkipBlanksAndComments(text, pos);
    const size_t start = pos;
    while (pos < text.size() && IsWordChar(text[pos]))
        ++pos;
    return text.substr(start, pos - start);
}

size_t SkipQuoted(std::string_view text, size_t pos) {
    const char quote = text[pos];
    for (size_t i = pos + 1;;) {
        const size_t close = text.find(quote, i);
        if (close == std::string_view::npos) return text.size();
        if (close + 1 < text.size() && text[close + 1] == quote) {
            i = close + 2;
            continue;
        }
        return close + 1;
    }
}

bool ContainsKeyword(std::string_view text, std::string_view upperKeyword) {
    for (size_t pos = 0; pos < text.size();) {
        const char c = text[pos];
        if (c == '\'' || c == '"') {
            pos = SkipQuoted(text, pos);
        } else if (const size_t after = SkipComment(text, pos); after != pos) {
            pos = after;
        } else if (IsWordChar(c)) {
            const size_t start = pos;
            while (pos < text.size() && IsWordChar(text[pos]))
                ++pos;
            if (IsKeyword(text.substr(start, pos - start), upperKeyword)) return true;
        } else {
            ++pos;
        }
    }
    return false;
}

std::string_view TrimRight(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    return text.substr(0, end);
}

} // namespace xqv::script
