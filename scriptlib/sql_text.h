// Small lexical helpers over script text shared by the splitter and the directive reader.
#pragma once

#include <cstddef>
#include <string_view>

namespace xqv::script {

// Spaces, line breaks and control characters: everything of code 32 or less.
inline bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// Characters of an unquoted word: ASCII letters, digits, "_" and "$".
inline bool IsWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$';
}

// Compares a word with an upper-case ASCII keyword, ignoring the word's letter case.
bool IsKeyword(std::string_view word, std::string_view upperKeyword);

// The end of the block comment or line comment starting at pos, or pos itself when none
// starts there. An unclosed comment runs to the end of the text.
size_t SkipComment(std::string_view text, size_t pos);

// True when a block comment opens at pos and the text ends before its "*/".
bool OpensUnclosedComment(std::string_view text, size_t pos);

// The first position from pos on that is neither blank nor inside a comment. openComment, when
// given, receives where a block comment opens that the text ends in (npos when none does).
size_t SkipBlanksAndComments(std::string_view text, size_t pos, size_t* openComment = nullptr);

// The word at the first position from pos on that is neither blank nor comment; pos moves
// past it. Empty (pos unchanged past the blanks) when something else stands there.
std::string_view NextWord(std::string_view text, size_t& pos);

// True when the keyword stands as a word of its own outside literals, quoted identifiers and
// comments.
bool ContainsKeyword(std::string_view text, std::string_view upperKeyword);

// The position after the literal or quoted identifier opened by the quote at pos; a doubled
// quote inside stands for the quote itself. Unclosed: the end of the text.
size_t SkipQuoted(std::string_view text, size_t pos);

// The text without trailing blanks.
std::string_view TrimRight(std::string_view text);

} // namespace xqv::script
