#include "script_session.h"

#include "insert_batch.h"
#include "output_statement.h"
#include "script_directives.h"
#include "script_splitter.h"
#include "sql_text.h"

namespace xqv::script {

namespace {

const char* const kNotConnected = "Нет подключения к базе данных!";
const int32_t kSuccess = 1;
const int32_t kLibraryFailure = -1;
// A batch of INSERTs stays well inside the server's limits of one request: its statement
// text (64 KB) and its contexts (255).
const size_t kBatchStatements = 50;
const size_t kBatchBytes = 32 * 1024;
// Where a failing definition goes back to.
const char* const kDefinitionSavepoint = "SQLSCRIPT_BEFORE_DEFINITION";

// The code reported for a failure of the client library: its first error code, never 1.
int32_t FailureCode(ISC_STATUS code) {
    return code == 0 || code == kSuccess ? kLibraryFailure : static_cast<int32_t>(code);
}

// Carries out action; an exception becomes the failure's message and code.
template <typename Action> int32_t Guarded(std::string& error, Action action) {
    try {
        return action();
    } catch (const fb::ClientError& e) {
        error = e.Message();
        return FailureCode(e.IscCode());
    } catch (const std::exception& e) {
        error = e.what();
        return kLibraryFailure;
    }
}

const char* InvalidDirectiveMessage(DirectiveKind kind) {
    switch (kind) {
    case DirectiveKind::SetTerm:
        return "Не удалось прочитать новый терминатор в команде SET TERM!";
    case DirectiveKind::SetNames:
        return "Не задана кодировка в команде SET NAMES!";
    case DirectiveKind::SetSqlDialect:
        return "Неверный диалект SQL: допустимы 1, 2 и 3!";
    default:
        return "Неверный параметр команды SET AUTODDL: допустимы ON и OFF!";
    }
}

} // namespace

bool ScriptSession::Connect(std::string_view paramString, std::string& error) {
    Close();
    if (!ParseConnectParams(paramString, params_)) {
        error = "Неверная строка параметров подключения!";
        return false;
    }
    dialect_ = params_.dialect;
    autoDdl_ = true;
    const int32_t code = Guarded(error, [&] {
        dpb_ = BuildDpb(params_);
        client_ = fb::ClientLibrary::Load(params_.clientLibrary);
        Attach();
        return kSuccess;
    });
    if (code == kSuccess) return true;
    Close();
    return false;
}

void ScriptSession::Attach() {
    auto attachment = std::make_unique<fb::Attachment>(client_);
    attachment->Attach(params_.database, dpb_);
    attachment_ = std::move(attachment);
    identityColumns_.reset();
}

fb::Transaction& ScriptSession::OpenTransaction() {
    if (!transaction_) transaction_ = std::make_unique<fb::Transaction>(client_);
    if (!transaction_->Active()) {
        transaction_->Start(attachment_->Handle(), std::string());
        // Definitions committed since the last look may have changed what a table does.
        plainTables_.clear();
        definitionPending_ = false;
    }
    return *transaction_;
}

int ScriptSession::Run(std::string_view script, const RunCallbacks& callbacks) {
    callbacks_ = callbacks;
    failures_ = 0;
    bool stopped = !Connected() && Report(0, "", kLibraryFailure, kNotConnected);
    StatementSplitter splitter(script);
    Statement statement;
    int32_t number = 0;
    while (!stopped && splitter.Next(statement)) {
        ++number;
        if (statement.terminated && MaySendTogether(statement.text)) {
            stopped = AddToBatch(number, statement.text);
            continue;
        }
        stopped = FlushBatch();
        if (stopped) break;
        const std::string text(statement.text);
        if (statement.terminated) {
            stopped = RunStatement(number, text);
            continue;
        }
        if (callbacks_.onText) callbacks_.onText(number, text.c_str());
        stopped =
            Report(number, text, kLibraryFailure,
                   statement.openComment ? "Скрипт оборван: комментарий не закрыт символами \"*/\"!"
                                         : "Скрипт оборван: оператор не завершён символом \"" +
                                               splitter.Terminator() + "\"!");
    }
    if (!stopped) stopped = FlushBatch();
    if (!stopped) {
        std::string error;
        const int32_t code = Commit(error);
        if (code != kSuccess) Report(number + 1, "COMMIT", code, error);
    }
    batch_.clear();
    batchBytes_ = 0;
    Close();
    return failures_;
}

bool ScriptSession::Report(int32_t number, const std::string& statement, int32_t code,
                           const std::string& error) {
    if (code == kSuccess) {
        if (callbacks_.onCode) callbacks_.onCode(number, kSuccess);
        return false;
    }
    ++failures_;
    if (callbacks_.onError) callbacks_.onError(statement.c_str(), error.c_str());
    const bool stopAsked = callbacks_.onCode && callbacks_.onCode(number, code) != 0;
    return stopAsked || !Connected();
}

bool ScriptSession::RunStatement(int32_t number, const std::string& statement) {
    if (callbacks_.onText) callbacks_.onText(number, statement.c_str());
    std::string error;
    const int32_t code = Execute(statement, error);
    return Report(number, statement, code, error);
}

bool ScriptSession::AddToBatch(int32_t number, std::string_view statement) {
    if (batchBytes_ + statement.size() > kBatchBytes && FlushBatch()) return true;
    batch_.push_back({number, std::string(statement)});
    batchBytes_ += statement.size();
    return batch_.size() >= kBatchStatements && FlushBatch();
}

bool ScriptSession::MaySendTogether(std::string_view statement) {
    const std::string table = PlainInsertTable(statement);
    if (table.empty() || definitionPending_ || !Connected()) return false;
    auto known = plainTables_.find(table);
    if (known == plainTables_.end()) known = plainTables_.emplace(table, IsPlainTable(table)).first;
    return known->second;
}

bool ScriptSession::IsPlainTable(const std::string& table) {
    if (!identityColumns_) identityColumns_ = QueryHasRows(kIdentityColumnsQuery);
    return QueryHasRows(PlainTableQuery(table, *identityColumns_));
}

// Runs a query of the library's own in the open transaction; false when it fails.
bool ScriptSession::QueryHasRows(const std::string& query) {
    size_t rows = 0;
    std::string error;
    const int32_t code = Guarded(error, [&] {
        rows = ExecuteWithOutput(client_, attachment_->Handle(), OpenTransaction().Handle(), query,
                                 static_cast<unsigned short>(dialect_));
        return kSuccess;
    });
    return code == kSuccess && rows > 0;
}

// INSERTs travel to the server together inside one EXECUTE BLOCK, each as written: one round
// trip and one compilation instead of one each. The block is one request, undone whole when
// any of its statements fails; then they are carried out again one by one. As the block's
// INSERTs set off nothing an undo leaves behind (MaySendTogether), the outcome and the reports
// are those of statements sent alone, in every mode.
bool ScriptSession::FlushBatch() {
    std::vector<PendingStatement> batch;
    batch.swap(batch_);
    batchBytes_ = 0;
    if (batch.size() > 1 && Connected()) {
        std::vector<std::string> texts;
        for (const PendingStatement& statement : batch)
            texts.push_back(statement.text);
        std::string error;
        if (SendToServer(InsertBlock(texts), error) == kSuccess) {
            for (const PendingStatement& statement : batch) {
                if (callbacks_.onText) callbacks_.onText(statement.number, statement.text.c_str());
                Report(statement.number, statement.text, kSuccess, error);
            }
            return false;
        }
    }
    for (const PendingStatement& statement : batch)
        if (RunStatement(statement.number, statement.text)) return true;
    return false;
}

int32_t ScriptSession::Execute(const std::string& statement, std::string& error) {
    const Directive directive = ParseDirective(statement);
    if (!directive.valid) {
        error = InvalidDirectiveMessage(directive.kind);
        return kLibraryFailure;
    }
    switch (directive.kind) {
    case DirectiveKind::None:
        return ExecuteOnServer(statement, error);
    case DirectiveKind::SetTerm:
        return kSuccess;
    case DirectiveKind::SetNames:
        // The connection's character set is the one of the connect parameters, for every
        // attachment of the run: the script's own declaration changes nothing.
        return kSuccess;
    case DirectiveKind::SetSqlDialect:
        dialect_ = directive.argument[0] - '0';
        return kSuccess;
    case DirectiveKind::SetAutoDdl:
        autoDdl_ = !IsKeyword(directive.argument, "OFF");
        return kSuccess;
    case DirectiveKind::Commit:
        return Commit(error);
    case DirectiveKind::Rollback:
        return Guarded(error, [&] {
            if (transaction_ && transaction_->Active()) transaction_->Rollback();
            return kSuccess;
        });
    case DirectiveKind::Reconnect:
        return Reconnect(error);
    }
    return kSuccess;
}

int32_t ScriptSession::ExecuteOnServer(const std::string& statement, std::string& error) {
    if (!IsDataDefinition(statement)) return SendToServer(statement, error);
    // A definition may change what a table does on insert: look again.
    plainTables_.clear();
    if (autoDdl_) return ExecuteDefinition(statement, error);
    const int32_t code = SendToServer(statement, error);
    definitionPending_ = true;
    return code;
}

// A definition under AUTODDL is committed at once, and with it whatever the transaction held
// before. Much of a definition's work is done by that commit, which may therefore fail (a
// unique index on duplicate values). The savepoint lets such a failure undo the definition
// alone: the statements before it, already reported as done, stay in the transaction.
int32_t ScriptSession::ExecuteDefinition(const std::string& statement, std::string& error) {
    const bool heldWork = transaction_ && transaction_->Active();
    if (heldWork) {
        const int32_t code = SendToServer("SAVEPOINT " + std::string(kDefinitionSavepoint), error);
        if (code != kSuccess) return code;
    }
    int32_t code = SendToServer(statement, error);
    if (code == kSuccess)
        code = Guarded(error, [&] {
            transaction_->Commit();
            return kSuccess;
        });
    if (code == kSuccess || !heldWork) {
        // Committed, or nothing but the definition to undo.
        if (code != kSuccess) transaction_.reset();
        return code;
    }
    std::string undoError;
    if (SendToServer("ROLLBACK TO SAVEPOINT " + std::string(kDefinitionSavepoint), undoError) ==
        kSuccess) {
        SendToServer("RELEASE SAVEPOINT " + std::string(kDefinitionSavepoint) + " ONLY", undoError);
        return code;
    }
    transaction_.reset();
    error += "\r\nОтменены также все изменения после последнего COMMIT!";
    return code;
}

int32_t ScriptSession::SendToServer(const std::string& statement, std::string& error) {
    if (!Connected()) {
        error = kNotConnected;
        return kLibraryFailure;
    }
    return Guarded(error, [&] {
        fb::Transaction& transaction = OpenTransaction();
        fb::StatusVector status;
        if (!client_->Api().isc_dsql_execute_immediate(status, attachment_->Handle(),
                                                       transaction.Handle(), 0, statement.c_str(),
                                                       dialect_, nullptr))
            return kSuccess;
        // Refused for want of a place for the values it hands back: nothing was done, so
        // it runs again with one.
        if (!StatusHolds(status, isc_dsql_sqlda_err)) throw fb::StatusError(*client_, status);
        ExecuteWithOutput(client_, attachment_->Handle(), transaction.Handle(), statement,
                          static_cast<unsigned short>(dialect_));
        return kSuccess;
    });
}

// Commits what the open transaction holds; when the commit fails, the transaction is rolled
// back so that the run can go on with a clean one.
int32_t ScriptSession::Commit(std::string& error) {
    if (!transaction_ || !transaction_->Active()) return kSuccess;
    const int32_t code = Guarded(error, [&] {
        transaction_->Commit();
        return kSuccess;
    });
    if (code != kSuccess) transaction_.reset();
    return code;
}

int32_t ScriptSession::Reconnect(std::string& error) {
    if (!Connected()) {
        error = kNotConnected;
        return kLibraryFailure;
    }
    int32_t code = Commit(error);
    std::string detachError;
    const int32_t detached = Guarded(detachError, [&] {
        transaction_.reset();
        attachment_->Detach();
        return kSuccess;
    });
    attachment_.reset();
    if (code == kSuccess && detached != kSuccess) {
        code = detached;
        error = detachError;
    }
    std::string attachError;
    const int32_t attached = Guarded(attachError, [&] {
        Attach();
        return kSuccess;
    });
    if (attached != kSuccess) {
        // Without a connection nothing more can run: report the attach over anything earlier.
        error = attachError;
        return attached;
    }
    return code;
}

void ScriptSession::DetachKeepingLibrary() noexcept {
    transaction_.reset();
    attachment_.reset();
}

void ScriptSession::Close() noexcept {
    DetachKeepingLibrary();
    client_.reset();
}

ScriptSession& LibrarySession() {
    // Never destroyed by the runtime: the library's unload detaches it explicitly, at a point
    // where the client library may still be called.
    static ScriptSession* session = new ScriptSession;
    return *session;
}

void CloseLibrarySession() noexcept {
    LibrarySession().DetachKeepingLibrary();
}

} // namespace xqv::script
