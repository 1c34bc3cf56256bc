// Fuzz target: any text through the splitter, the directive reader and the reader of INSERTs that
// may go together. Statements must be non-empty, trimmed, inside the input, in order and apart;
// only the last may lack its terminator, and only it may hold the comment the script ends in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include "insert_batch.h"
#include "script_directives.h"
#include "script_splitter.h"
#include "sql_text.h"

using namespace xqv::script;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    StatementSplitter splitter(text);
    Statement statement;
    const char* previousEnd = text.data();
    bool unterminatedSeen = false;
    while (splitter.Next(statement)) {
        const std::string_view s = statement.text;
        if (s.empty() || unterminatedSeen) abort();
        if (s.data() < previousEnd || s.data() + s.size() > text.data() + text.size()) abort();
        if (IsBlank(s.front()) || IsBlank(s.back())) abort();
        if (splitter.Terminator().empty()) abort();
        // The script can only end inside a comment that this statement holds.
        if (statement.openComment && (statement.terminated || s.find("/*") == s.npos)) abort();
        previousEnd = s.data() + s.size();
        unterminatedSeen = !statement.terminated;
        const Directive directive = ParseDirective(s);
        if (directive.kind == DirectiveKind::SetSqlDialect && directive.valid &&
            directive.argument.size() != 1)
            abort();
        // A SET TERM that stands valid is one whose terminator the splitter took.
        if (directive.kind == DirectiveKind::SetTerm && directive.valid && statement.terminated &&
            splitter.Terminator() != directive.argument)
            abort();
        // An INSERT that may go in a block holds no open comment that would swallow the rest.
        if (!PlainInsertTable(s).empty() &&
            (statement.openComment || directive.kind != DirectiveKind::None || IsDataDefinition(s)))
            abort();
    }
    return 0;
}
