// The thin layer over the Firebird client library, loaded at run time by file name.
//
// How to use it:
//   auto client = xqv::fb::ClientLibrary::Load("fbclient.dll");  // throws xqv::Error
//   xqv::fb::Attachment db(client);
//   db.Attach("localhost/3051:C:\\DB\\X.fdb", dpb);                // throws fb::ClientError
//   xqv::fb::Transaction tr(client);
//   tr.Start(db.Handle(), tpb);                                     // isc_start_multiple
//   xqv::fb::StatusVector status;
//   if (client->Api().isc_dsql_execute_immediate(status, db.Handle(), tr.Handle(), 0, sql,
//                                                3, nullptr))
//       throw xqv::fb::StatusError(*client, status);
//   tr.Commit();
// Every function of the table below carries the calling convention of ibase.h (ISC_EXPORT:
// stdcall on Windows, the platform's default elsewhere) and is called with the client
// library's own types. The owners (Attachment, ServiceAttachment, Transaction, Statement)
// keep their library loaded and release their handle on every path; a release in a destructor
// never throws. Types and constants are those of the public header ibase.h.
#pragma once

#include <ibase.h>
#include <memory>
#include <string>
#include <vector>
#include "errors.h"

namespace xqv::fb {

// The functions the layer resolves; a library that lacks any of them is refused at load.
#define XQV_FB_CLIENT_FUNCTIONS(X)                                                                 \
    X(isc_attach_database)                                                                         \
    X(isc_create_database)                                                                         \
    X(isc_detach_database)                                                                         \
    X(isc_drop_database)                                                                           \
    X(isc_database_info)                                                                           \
    X(isc_service_attach)                                                                          \
    X(isc_service_start)                                                                           \
    X(isc_service_query)                                                                           \
    X(isc_service_detach)                                                                          \
    X(isc_start_multiple)                                                                          \
    X(isc_commit_transaction)                                                                      \
    X(isc_commit_retaining)                                                                        \
    X(isc_rollback_transaction)                                                                    \
    X(isc_rollback_retaining)                                                                      \
    X(isc_dsql_execute_immediate)                                                                  \
    X(isc_dsql_allocate_statement)                                                                 \
    X(isc_dsql_prepare)                                                                            \
    X(isc_dsql_describe)                                                                           \
    X(isc_dsql_describe_bind)                                                                      \
    X(isc_dsql_execute)                                                                            \
    X(isc_dsql_execute2)                                                                           \
    X(isc_dsql_fetch)                                                                              \
    X(isc_dsql_free_statement)                                                                     \
    X(isc_dsql_sql_info)                                                                           \
    X(fb_interpret)                                                                                \
    X(isc_sqlcode)                                                                                 \
    X(isc_vax_integer)

// One function table: each member has the name and exact type of the library's function.
struct ClientApi {
#define XQV_FB_CLIENT_FIELD(name) decltype(&::name) name = nullptr;
    XQV_FB_CLIENT_FUNCTIONS(XQV_FB_CLIENT_FIELD)
#undef XQV_FB_CLIENT_FIELD
};

// A loaded client library and its function table; unloaded when the last owner lets go.
class ClientLibrary {
public:
    // Loads the library by file name through the platform's normal search (LoadLibraryA on
    // Windows, dlopen elsewhere). Raises xqv::Error when it cannot be loaded or lacks one of
    // the functions above.
    static std::shared_ptr<const ClientLibrary> Load(const std::string& fileName);

    ~ClientLibrary();
    ClientLibrary(const ClientLibrary&) = delete;
    ClientLibrary& operator=(const ClientLibrary&) = delete;

    const ClientApi& Api() const { return api_; }
    const std::string& FileName() const { return fileName_; }

private:
    ClientLibrary(void* module, std::string fileName) : module_(module), fileName_(fileName) {}
    void* module_;
    std::string fileName_;
    ClientApi api_;
};

// The client library's file name on this platform: "fbclient.dll" on Windows, the Linux
// library elsewhere.
const char* PlatformClientLibraryName();

// The process-wide library of the services and database-information requests: loaded by the
// given name on first need; once loaded, that library stays in use whatever name is passed.
std::shared_ptr<const ClientLibrary> SharedClientLibrary(const std::string& fileName);

// A status vector, zeroed; passes where the library expects ISC_STATUS*.
struct StatusVector {
    ISC_STATUS_ARRAY values = {};
    operator ISC_STATUS*() { return values; }
    operator const ISC_STATUS*() const { return values; }
    bool Failed() const { return values[0] == 1 && values[1] != 0; }
    // The first error code of the vector (0 when it holds none).
    ISC_STATUS FirstCode() const { return values[0] == 1 ? values[1] : 0; }
};

// A failed call of the client library: the message text, the SQL code (isc_sqlcode) and the
// first error code of the status vector.
class ClientError : public Error {
public:
    ClientError(const std::string& message, long sqlCode, ISC_STATUS iscCode)
        : Error(message), sqlCode_(sqlCode), iscCode_(iscCode) {}
    const char* KindName() const override { return "EFirebirdError"; }
    long SqlCode() const { return sqlCode_; }
    ISC_STATUS IscCode() const { return iscCode_; }

private:
    long sqlCode_;
    ISC_STATUS iscCode_;
};

// The message lines of a status vector, in order, as fb_interpret yields them (each read into
// a bounded buffer).
std::vector<std::string> InterpretStatus(const ClientLibrary& client, const ISC_STATUS* status);

// The lines joined by CR LF (no CR LF before a line when the text already ends with a line
// feed), with one trailing full stop of the whole text removed.
std::string JoinStatusLines(const std::vector<std::string>& lines);

// The error of a failed call: JoinStatusLines of its vector, its SQL code and first code.
ClientError StatusError(const ClientLibrary& client, const ISC_STATUS* status);

// Raises StatusError when the vector reports a failure.
void Check(const ClientLibrary& client, const StatusVector& status);

// One database attachment; detaches (quietly) when destroyed while attached.
class Attachment {
public:
    explicit Attachment(std::shared_ptr<const ClientLibrary> client);
    ~Attachment();
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

    // isc_attach_database with a zero-terminated name; answers with the first error code
    // (0 on success) and leaves the details in status.
    ISC_STATUS TryAttach(const std::string& database, const std::string& dpb, StatusVector& status);
    // Attach, isc_create_database: raise StatusError on failure.
    void Attach(const std::string& database, const std::string& dpb);
    void Create(const std::string& database, const std::string& dpb);
    // isc_detach_database / isc_drop_database; raise StatusError on failure (the handle is
    // then kept, and the destructor tries once more).
    void Detach();
    void Drop();

    bool Attached() const { return handle_ != 0; }
    isc_db_handle* Handle() { return &handle_; }
    const ClientLibrary& Client() const { return *client_; }

private:
    std::shared_ptr<const ClientLibrary> client_;
    isc_db_handle handle_ = 0;
};

// One service manager attachment; detaches (quietly) when destroyed while attached.
class ServiceAttachment {
public:
    explicit ServiceAttachment(std::shared_ptr<const ClientLibrary> client);
    ~ServiceAttachment();
    ServiceAttachment(const ServiceAttachment&) = delete;
    ServiceAttachment& operator=(const ServiceAttachment&) = delete;

    // isc_service_attach (service name such as "localhost/3051:service_mgr"), raising
    // StatusError on failure.
    void Attach(const std::string& serviceName, const std::string& spb);
    // isc_service_start with a null reserved argument, raising StatusError on failure.
    void Start(const std::string& request);
    void Detach();

    bool Attached() const { return handle_ != 0; }
    isc_svc_handle* Handle() { return &handle_; }

private:
    std::shared_ptr<const ClientLibrary> client_;
    isc_svc_handle handle_ = 0;
};

// One transaction on one attachment; rolled back (quietly) when destroyed while active.
class Transaction {
public:
    explicit Transaction(std::shared_ptr<const ClientLibrary> client);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // isc_start_multiple with one transaction block; an empty tpb takes the server's default.
    void Start(isc_db_handle* database, const std::string& tpb);
    void Commit();
    void CommitRetaining();
    void Rollback();
    void RollbackRetaining();

    bool Active() const { return handle_ != 0; }
    isc_tr_handle* Handle() { return &handle_; }

private:
    std::shared_ptr<const ClientLibrary> client_;
    isc_tr_handle handle_ = 0;
};

// One DSQL statement handle, allocated on construction and dropped on destruction.
class Statement {
public:
    Statement(std::shared_ptr<const ClientLibrary> client, isc_db_handle* database);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    isc_stmt_handle* Handle() { return &handle_; }

private:
    std::shared_ptr<const ClientLibrary> client_;
    isc_stmt_handle handle_ = 0;
};

// The transaction block of isc_start_multiple as the client library of this platform lays it
// out: the attachment, the parameter block's length as a C long, the parameter block.
struct TransactionBlock {
    isc_db_handle* database;
    long tpbLength;
    const char* tpb;
};

} // namespace xqv::fb
