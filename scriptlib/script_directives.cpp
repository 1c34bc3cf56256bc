#include "script_directives.h"

#include "script_splitter.h"
#include "sql_text.h"

namespace xqv::script {

namespace {

bool AtEnd(std::string_view text, size_t pos) {
    return SkipBlanksAndComments(text, pos) == text.size();
}

// COMMIT, ROLLBACK: the keyword alone or followed by WORK.
bool KeywordWithOptionalWork(std::string_view text, size_t pos) {
    if (AtEnd(text, pos)) return true;
    return IsKeyword(NextWord(text, pos), "WORK") && AtEnd(text, pos);
}

// The one word that ends the statement after pos; empty when there is none or more follows.
std::string_view LastWord(std::string_view text, size_t pos) {
    const std::string_view word = NextWord(text, pos);
    return AtEnd(text, pos) ? word : std::string_view();
}

} // namespace

Directive ParseDirective(std::string_view statement) {
    Directive directive;
    size_t pos = 0;
    const std::string_view first = NextWord(statement, pos);
    if (IsKeyword(first, "COMMIT")) {
        if (KeywordWithOptionalWork(statement, pos)) directive.kind = DirectiveKind::Commit;
        return directive;
    }
    if (IsKeyword(first, "ROLLBACK")) {
        if (KeywordWithOptionalWork(statement, pos)) directive.kind = DirectiveKind::Rollback;
        return directive;
    }
    if (IsKeyword(first, "RECONNECT")) {
        if (AtEnd(statement, pos)) directive.kind = DirectiveKind::Reconnect;
        return directive;
    }
    if (!IsKeyword(first, "SET")) return directive;

    const std::string_view second = NextWord(statement, pos);
    if (IsKeyword(second, "TERM")) {
        directive.kind = DirectiveKind::SetTerm;
        // Invalid exactly when the splitter could not take the new terminator.
        directive.valid = ParseSetTerm(statement, directive.argument);
    } else if (IsKeyword(second, "NAMES")) {
        directive.kind = DirectiveKind::SetNames;
        directive.argument = LastWord(statement, pos);
        directive.valid = !directive.argument.empty();
    } else if (IsKeyword(second, "SQL")) {
        if (!IsKeyword(NextWord(statement, pos), "DIALECT")) return directive;
        directive.kind = DirectiveKind::SetSqlDialect;
        directive.argument = LastWord(statement, pos);
        directive.valid =
            directive.argument == "1" || directive.argument == "2" || directive.argument == "3";
    } else if (IsKeyword(second, "AUTODDL")) {
        directive.kind = DirectiveKind::SetAutoDdl;
        if (AtEnd(statement, pos)) return directive;
        directive.argument = LastWord(statement, pos);
        directive.valid =
            IsKeyword(directive.argument, "ON") || IsKeyword(directive.argument, "OFF");
    }
    return directive;
}

bool IsDataDefinition(std::string_view statement) {
    size_t pos = 0;
    const std::string_view first = NextWord(statement, pos);
    for (const char* keyword :
         {"CREATE", "RECREATE", "ALTER", "DROP", "COMMENT", "GRANT", "REVOKE", "DECLARE"})
        if (IsKeyword(first, keyword)) return true;
    if (!IsKeyword(first, "SET")) return false;
    const std::string_view second = NextWord(statement, pos);
    return IsKeyword(second, "GENERATOR") || IsKeyword(second, "STATISTICS");
}

} // namespace xqv::script
