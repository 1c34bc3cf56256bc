// One connection of the script library and the script runs on it: what the exports of the
// library do behind their C interface.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include "connect_params.h"
#include "fb_client.h"
#include "sqlscript_api.h"

namespace xqv::script {

struct RunCallbacks {
    SqlScriptErrorCallback onError = nullptr;
    SqlScriptTextCallback onText = nullptr;
    SqlScriptCodeCallback onCode = nullptr;
};

class ScriptSession {
public:
    ScriptSession() = default;
    ~ScriptSession() { Close(); }
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;

    // Loads the client library named in the connect parameter string and attaches; closes an
    // earlier connection first. On failure the reason is in error and nothing stays attached.
    bool Connect(std::string_view paramString, std::string& error);

    // Runs the script on the connection (see sqlscript_api.h for what is reported and when
    // the run stops) and closes the connection. Answers the number of failed statements.
    int Run(std::string_view script, const RunCallbacks& callbacks);

    // Rolls back the open transaction, detaches and lets the client library go, quietly.
    void Close() noexcept;

    // Detaches as Close does but keeps the client library loaded: for the library's own
    // unload, when unloading another library is not safe.
    void DetachKeepingLibrary() noexcept;

    bool Connected() const { return attachment_ && attachment_->Attached(); }

private:
    struct PendingStatement {
        int32_t number;
        std::string text;
    };

    // Reports the outcome of one statement; true when the run has to stop there.
    bool Report(int32_t number, const std::string& statement, int32_t code,
                const std::string& error);
    // Reports and carries out one statement; true when the run has to stop there.
    bool RunStatement(int32_t number, const std::string& statement);
    // True when the statement may go to the server inside a block with others.
    bool MaySendTogether(std::string_view statement);
    // True when an INSERT into the table does nothing beyond writing its row (PlainTableQuery).
    bool IsPlainTable(const std::string& table);
    bool QueryHasRows(const std::string& query);
    // Adds an INSERT to the pending batch, sending the batch when it is full.
    bool AddToBatch(int32_t number, std::string_view statement);
    // Sends the pending INSERTs together; when that fails, one by one.
    bool FlushBatch();

    // Carries out one statement; answers 1, or the failure's code with its message in error.
    int32_t Execute(const std::string& statement, std::string& error);
    int32_t ExecuteOnServer(const std::string& statement, std::string& error);
    int32_t ExecuteDefinition(const std::string& statement, std::string& error);
    int32_t SendToServer(const std::string& statement, std::string& error);
    int32_t Commit(std::string& error);
    int32_t Reconnect(std::string& error);
    void Attach();
    // The open transaction, started when there is none.
    fb::Transaction& OpenTransaction();

    ConnectParams params_;
    // The attach parameters of Connect, used again as they are by RECONNECT.
    std::string dpb_;
    std::shared_ptr<const fb::ClientLibrary> client_;
    std::unique_ptr<fb::Attachment> attachment_;
    std::unique_ptr<fb::Transaction> transaction_;
    int dialect_ = 3;
    bool autoDdl_ = true;
    // What IsPlainTable found in the open transaction; whether the server has identity
    // columns; whether a definition waits in the open transaction for its commit (AUTODDL OFF),
    // when what the tables hold says nothing yet of what they do.
    std::map<std::string, bool> plainTables_;
    std::optional<bool> identityColumns_;
    bool definitionPending_ = false;

    // The run in progress.
    RunCallbacks callbacks_;
    int failures_ = 0;
    std::vector<PendingStatement> batch_;
    size_t batchBytes_ = 0;
};

// The library's one session, created on first use. CloseLibrarySession detaches it when the
// library is unloaded while still attached.
ScriptSession& LibrarySession();
void CloseLibrarySession() noexcept;

} // namespace xqv::script
