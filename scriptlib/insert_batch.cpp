#include "insert_batch.h"

#include "sql_text.h"

namespace xqv::script {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Moves pos past the character c standing next (after blanks and comments).
bool Take(std::string_view text, size_t& pos, char c) {
    pos = SkipBlanksAndComments(text, pos);
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

// The quoted text closed at end - 1 by the quote it was opened with.
bool Closed(std::string_view text, size_t pos, size_t end) {
    return end > pos + 1 && end <= text.size() && text[end - 1] == text[pos];
}

// The name standing next, as the server stores it; empty when none stands there.
std::string TakeName(std::string_view text, size_t& pos) {
    pos = SkipBlanksAndComments(text, pos);
    if (pos >= text.size()) return {};
    std::string name;
    if (text[pos] == '"') {
        const size_t end = SkipQuoted(text, pos);
        if (!Closed(text, pos, end)) return {};
        for (size_t i = pos + 1; i + 1 < end; ++i) {
            name += text[i];
            if (text[i] == '"') ++i; // a doubled quote stands for one
        }
        pos = end;
        return name;
    }
    if (!IsLetter(text[pos])) return {};
    for (; pos < text.size() && IsWordChar(text[pos]); ++pos)
        name += IsLetter(text[pos]) ? static_cast<char>(text[pos] & ~0x20) : text[pos];
    return name;
}

// Moves pos past the digits standing there; answers how many there were.
size_t TakeDigits(std::string_view text, size_t& pos) {
    const size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos]))
        ++pos;
    return pos - start;
}

// Moves pos past the literal standing next: a string, a number or NULL.
bool TakeLiteral(std::string_view text, size_t& pos) {
    pos = SkipBlanksAndComments(text, pos);
    if (pos >= text.size()) return false;
    if (text[pos] == '\'') {
        const size_t end = SkipQuoted(text, pos);
        if (!Closed(text, pos, end)) return false;
        pos = end;
        return true;
    }
    size_t p = pos;
    if (text[p] == '+' || text[p] == '-') ++p;
    size_t digits = TakeDigits(text, p);
    if (p < text.size() && text[p] == '.') digits += TakeDigits(text, ++p);
    if (digits == 0) return IsKeyword(NextWord(text, pos), "NULL");
    if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
        ++p;
        if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
        if (TakeDigits(text, p) == 0) return false;
    }
    if (p < text.size() && IsWordChar(text[p])) return false;
    pos = p;
    return true;
}

} // namespace

std::string PlainInsertTable(std::string_view statement) {
    size_t pos = 0;
    if (!IsKeyword(NextWord(statement, pos), "INSERT") ||
        !IsKeyword(NextWord(statement, pos), "INTO"))
        return {};
    std::string table = TakeName(statement, pos);
    if (table.empty()) return {};
    if (size_t columns = pos; Take(statement, columns, '(')) {
        do {
            if (TakeName(statement, columns).empty()) return {};
        } while (Take(statement, columns, ','));
        if (!Take(statement, columns, ')')) return {};
        pos = columns;
    }
    if (!IsKeyword(NextWord(statement, pos), "VALUES") || !Take(statement, pos, '(')) return {};
    do {
        if (!TakeLiteral(statement, pos)) return {};
    } while (Take(statement, pos, ','));
    // Nothing may follow, not even an open comment: in a block it would swallow the rest.
    size_t openComment;
    if (!Take(statement, pos, ')') ||
        SkipBlanksAndComments(statement, pos, &openComment) != statement.size() ||
        openComment != std::string_view::npos)
        return {};
    return table;
}

std::string PlainTableQuery(const std::string& table, bool identityColumns) {
    std::string name;
    for (char c : table)
        name += c == '\'' ? "''" : std::string(1, c);
    // Trigger types 1 and 2 fire before and after insert; 7 to 8191 fire on several actions,
    // insert perhaps among them; from 8192 on they belong to the database, not to a table.
    std::string query =
        "SELECT 1 FROM RDB$RELATIONS R WHERE R.RDB$RELATION_NAME = '" + name +
        "' AND R.RDB$VIEW_BLR IS NULL AND R.RDB$EXTERNAL_FILE IS NULL"
        " AND COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0"
        " AND NOT EXISTS (SELECT 1 FROM RDB$TRIGGERS T"
        " WHERE T.RDB$RELATION_NAME = R.RDB$RELATION_NAME"
        " AND COALESCE(T.RDB$TRIGGER_INACTIVE, 0) = 0"
        " AND (T.RDB$TRIGGER_TYPE IN (1, 2) OR T.RDB$TRIGGER_TYPE BETWEEN 7 AND 8191))";
    if (identityColumns)
        query += " AND NOT EXISTS (SELECT 1 FROM RDB$RELATION_FIELDS F"
                 " WHERE F.RDB$RELATION_NAME = R.RDB$RELATION_NAME"
                 " AND F.RDB$IDENTITY_TYPE IS NOT NULL)";
    return query;
}

const char* const kIdentityColumnsQuery =
    "SELECT 1 FROM RDB$RELATION_FIELDS WHERE RDB$RELATION_NAME = 'RDB$RELATION_FIELDS'"
    " AND RDB$FIELD_NAME = 'RDB$IDENTITY_TYPE'";

std::string InsertBlock(const std::vector<std::string>& statements) {
    std::string block = "EXECUTE BLOCK AS BEGIN\n";
    for (const std::string& statement : statements) {
        block += statement;
        block += "\n;\n"; // on a line of its own: the text may end in a line comment
    }
    return block + "END";
}

} // namespace xqv::script
