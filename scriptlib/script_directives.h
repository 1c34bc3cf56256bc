// The statements the library carries out itself instead of sending them to the server, and
// which of the others define data (committed at once while AUTODDL is on).
#pragma once

#include <string_view>

namespace xqv::script {

enum class DirectiveKind {
    None,          // an ordinary statement: sent to the server as written
    SetTerm,       // SET TERM x: applied by the splitter when it could read x
    SetNames,      // SET NAMES charset: checked; the connect parameters decide the charset
    SetSqlDialect, // SET SQL DIALECT n: the dialect of the following statements
    SetAutoDdl,    // SET AUTODDL [ON | OFF]
    Commit,        // COMMIT [WORK]
    Rollback,      // ROLLBACK [WORK]
    Reconnect,     // RECONNECT: commit, detach, attach again
};

struct Directive {
    DirectiveKind kind = DirectiveKind::None;
    // SET TERM: the new terminator; SET NAMES: the character set; SET SQL DIALECT: "1", "2"
    // or "3"; SET AUTODDL: "ON" or "OFF" as written (empty means ON).
    std::string_view argument;
    // False when the directive's words are right but its argument is missing or wrong.
    bool valid = true;
};

// Letter case, blanks and comments between the words do not matter.
Directive ParseDirective(std::string_view statement);

// CREATE, RECREATE, ALTER, DROP, COMMENT, GRANT, REVOKE, DECLARE, SET GENERATOR and
// SET STATISTICS statements.
bool IsDataDefinition(std::string_view statement);

} // namespace xqv::script
