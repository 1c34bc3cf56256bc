// Which statements the library may send to the server together, inside one EXECUTE BLOCK,
// and that block. A statement inside a block is procedural code: names that only procedural
// code knows (SQLCODE, GDSCODE, SQLSTATE, ROW_COUNT, ...) and parameters are read there,
// while alone the statement would fail. So only a statement with no room for such a name
// qualifies: an INSERT of literals. What the statement sets off in its table must not differ
// either: see PlainTableQuery.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xqv::script {

// For INSERT INTO table [(column, ...)] VALUES (literal, ...), where a literal is a string in
// single quotes, a number (digits with an optional sign, decimal point and exponent) or NULL,
// and the names are plain or double-quoted identifiers: the table's name as the server stores
// it (a plain identifier in capitals). Empty for every other statement. Blanks and comments
// may stand between the parts.
std::string PlainInsertTable(std::string_view statement);

// A query that hands back a row when an INSERT into the table does nothing beyond writing its
// row, so that its block may be undone and run again statement by statement with the same
// outcome: a table of the database (no view, external file or system table) with no active
// trigger that fires on insert (these may take generator values, which an undo does not give
// back) and, where the server has them (identityColumns), no identity column.
std::string PlainTableQuery(const std::string& table, bool identityColumns);

// A query that hands back a row when the server has identity columns.
extern const char* const kIdentityColumnsQuery;

// The statements as one EXECUTE BLOCK, each as written.
std::string InsertBlock(const std::vector<std::string>& statements);

} // namespace xqv::script
