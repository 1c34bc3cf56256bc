#include "database_probe.h"

#include "db_connection.h"
#include "db_params.h"
#include "fb_client.h"

namespace xqv {

namespace {

// Read committed, no waiting for locks; read-only for the mode, read-write for a statement that
// may try to write before it is rolled back.
std::string TransactionParams(bool readOnly) {
    return {char(isc_tpb_version3), char(readOnly ? isc_tpb_read : isc_tpb_write),
            char(isc_tpb_read_committed), char(isc_tpb_rec_version), char(isc_tpb_nowait)};
}

void Attach(TDBConnection& connection, const std::string& clientLibrary,
            const std::string& database, const std::string& userName, const std::string& password) {
    CheckDbParams(clientLibrary, database, userName, password);
    UseConnectionClientLibrary(clientLibrary);
    connection.OpenConnection();
}

} // namespace

long ReadShutdownMode(const std::string& clientLibrary, const std::string& database,
                      const std::string& userName, const std::string& password) {
    TDBConnection connection(database, userName, password, "");
    Attach(connection, clientLibrary, database, userName, password);
    const auto client = ConnectionClientLibrary();
    const fb::ClientApi& api = client->Api();
    fb::Transaction transaction(client);
    transaction.Start(connection.DbHandle(), TransactionParams(true));
    fb::Statement statement(client, connection.DbHandle());

    alignas(XSQLDA) char area[XSQLDA_LENGTH(1)] = {};
    XSQLDA* output = reinterpret_cast<XSQLDA*>(area);
    output->version = SQLDA_VERSION1;
    output->sqln = 1;
    fb::StatusVector status;
    const char* const query = "SELECT MON$SHUTDOWN_MODE FROM MON$DATABASE";
    if (api.isc_dsql_prepare(status, transaction.Handle(), statement.Handle(), 0, query, 3, output))
        throw fb::StatusError(*client, status);
    ISC_INT64 mode = 0;
    short isNull = 0;
    output->sqlvar[0].sqltype = SQL_INT64 + 1;
    output->sqlvar[0].sqlscale = 0;
    output->sqlvar[0].sqllen = sizeof mode;
    output->sqlvar[0].sqldata = reinterpret_cast<char*>(&mode);
    output->sqlvar[0].sqlind = &isNull;
    if (api.isc_dsql_execute(status, transaction.Handle(), statement.Handle(), 1, nullptr) ||
        api.isc_dsql_fetch(status, statement.Handle(), 1, output) != 0)
        throw fb::StatusError(*client, status);
    transaction.Rollback();
    return static_cast<long>(mode);
    // Statement, transaction and connection go in that order, also when an error leaves above.
}

void ExecuteRolledBack(const std::string& clientLibrary, const std::string& database,
                       const std::string& userName, const std::string& password,
                       const std::string& statement) {
    TDBConnection connection(database, userName, password, "");
    Attach(connection, clientLibrary, database, userName, password);
    const auto client = ConnectionClientLibrary();
    fb::Transaction transaction(client);
    transaction.Start(connection.DbHandle(), TransactionParams(false));
    fb::StatusVector status;
    const bool failed = client->Api().isc_dsql_execute_immediate(
                            status, connection.DbHandle(), transaction.Handle(), 0,
                            statement.c_str(), 3, nullptr) != 0;
    // The statement's error is kept while the rollback runs; a rollback that fails is an error
    // of its own (the detach that follows still undoes the transaction).
    transaction.Rollback();
    if (failed) throw fb::StatusError(*client, status);
}

} // namespace xqv
