// TDBConnection: one Firebird attachment with the transaction and query that go with it, and
// the client library the connection layer uses.
#pragma once

#include <memory>
#include <string>
#include <vector>
#include "fb_client.h"

namespace xqv {

// Makes fileName the client library of the connection layer: a library it has loaded is
// released, and the next connection that attaches loads this one afresh. Until the first call
// the platform's client library is used.
void UseConnectionClientLibrary(const std::string& fileName);
// The connection layer's library, loaded on first need.
std::shared_ptr<const fb::ClientLibrary> ConnectionClientLibrary();

// The error text of a failed attach: the ISC error code, an empty line, the message heading,
// then the message lines, blanks trimmed and a line equal to the one before it left out; every
// line ended by CR LF.
std::string AttachErrorText(ISC_STATUS code, const std::vector<std::string>& lines);

struct DbConnectionSettings {
    std::string characterSet = "WIN1251";
    bool loginPrompt = false;
    int pageSize = 4096; // used only when a database is created, never sent on attach
    std::string database;
    int sqlDialect = 3;
    std::string userName;
    std::string password;
    std::string roleName;
};

// The transaction bound to the connection. Nothing runs in it.
struct DbTransactionSettings {
    bool readCommitted = true;
    bool autoCommit = false;
};

// The query bound to the connection and its transaction. Nothing runs through it.
struct DbQuerySettings {
    bool fetchAll = true;
    bool autoKeyLinks = false;
    bool calculatedFields = false;
};

class TDBConnection {
public:
    // Configures everything; does not attach.
    TDBConnection(const std::string& database, const std::string& userName,
                  const std::string& password, const std::string& roleName);
    // Detaches when attached (quietly), then the query, the transaction and the connection go.
    ~TDBConnection();
    TDBConnection(const TDBConnection&) = delete;
    TDBConnection& operator=(const TDBConnection&) = delete;

    // Attaches through the connection layer's client library; nothing when already attached.
    // A failed attach raises fb::ClientError with AttachErrorText and leaves it unattached.
    void OpenConnection();
    // Detaches; nothing when not attached.
    void CloseConnection();

    bool Connected() const { return attachment_ != nullptr; }
    // The attachment handle (a null handle while unattached).
    isc_db_handle* DbHandle();
    // The library the attachment was made through; only while attached.
    const fb::ClientLibrary& Client() const { return attachment_->Client(); }

    const DbConnectionSettings& Connection() const { return connection_; }
    const DbTransactionSettings& Transaction() const { return transaction_; }
    const DbQuerySettings& Query() const { return query_; }

private:
    DbConnectionSettings connection_;
    std::unique_ptr<fb::Attachment> attachment_;
    DbTransactionSettings transaction_;
    DbQuerySettings query_;
    isc_db_handle noHandle_ = 0;
};

} // namespace xqv
