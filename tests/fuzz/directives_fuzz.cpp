// Fuzz target: the reader of client directives (SET TERM, SET NAMES, SET SQL DIALECT, SET AUTODDL,
// COMMIT, CONNECT and the like) and the tests of a statement's kind, on any single statement. What
// they find must lie inside the statement, and a valid directive's argument must be what its
// kind allows.
#include <cstdlib>
#include <string_view>
#include "insert_batch.h"
#include "script_directives.h"
#include "sql_text.h"

using namespace xqv::script;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Directive directive = ParseDirective(text);
    const std::string_view argument = directive.argument;
    if (!argument.empty() &&
        (argument.data() < text.data() || argument.data() + argument.size() > text.data() + size))
        abort();
    if (directive.valid) {
        switch (directive.kind) {
        case DirectiveKind::SetTerm:
            if (argument.empty()) abort();
            for (char c : argument)
                if (IsBlank(c)) abort();
            break;
        case DirectiveKind::SetSqlDialect:
            if (argument != "1" && argument != "2" && argument != "3") abort();
            break;
        case DirectiveKind::SetAutoDdl:
            if (!argument.empty() && !IsKeyword(argument, "ON") && !IsKeyword(argument, "OFF"))
                abort();
            break;
        default:
            break;
        }
    }
    IsDataDefinition(text);
    // A table name found is never longer than the statement it was read from.
    if (PlainInsertTable(text).size() > size) abort();
    return 0;
}
