#include "server_support.h"

#include "fb_dpb.h"
#include "test_env.h"
#include "test_place.h"

namespace dbtest {

using xqv::fb::StatusVector;

std::shared_ptr<const xqv::fb::ClientLibrary> Client() {
    return xqv::fb::ClientLibrary::Load(xqv::fb::PlatformClientLibraryName());
}

std::string DatabaseString(const std::string& path) {
    return "localhost/" + testenv::FbPort() + ":" + path;
}

std::string CreateTestDatabase(const std::string& fileName) {
    const std::string database = DatabaseString(FreshDatabasePath(fileName));
    xqv::fb::Attachment attachment(Client());
    attachment.Create(database, testenv::UserDpb(testenv::FbUser(), testenv::FbPassword()));
    attachment.Detach();
    return database;
}

std::unique_ptr<xqv::fb::Attachment> AttachAs(const std::string& database, const std::string& user,
                                              const std::string& password) {
    auto attachment = std::make_unique<xqv::fb::Attachment>(Client());
    attachment->Attach(database, testenv::UserDpb(user, password));
    return attachment;
}

void Execute(const std::string& database, const std::string& sql) {
    auto attachment = AttachAs(database, testenv::FbUser(), testenv::FbPassword());
    const auto& api = attachment->Client().Api();
    xqv::fb::Transaction transaction(Client());
    transaction.Start(attachment->Handle(), "");
    StatusVector status;
    if (api.isc_dsql_execute_immediate(status, attachment->Handle(), transaction.Handle(), 0,
                                       sql.c_str(), 3, nullptr))
        throw xqv::fb::StatusError(attachment->Client(), status);
    transaction.Commit();
}

long QueryNumber(const std::string& database, const std::string& sql) {
    auto attachment = AttachAs(database, testenv::FbUser(), testenv::FbPassword());
    const auto client = Client();
    const auto& api = client->Api();
    xqv::fb::Transaction transaction(client);
    transaction.Start(attachment->Handle(), "");
    xqv::fb::Statement statement(client, attachment->Handle());

    alignas(XSQLDA) char area[XSQLDA_LENGTH(1)] = {};
    XSQLDA* output = reinterpret_cast<XSQLDA*>(area);
    output->version = SQLDA_VERSION1;
    output->sqln = 1;
    StatusVector status;
    if (api.isc_dsql_prepare(status, transaction.Handle(), statement.Handle(), 0, sql.c_str(), 3,
                             output))
        throw xqv::fb::StatusError(*client, status);
    ISC_INT64 value = 0;
    short isNull = 0;
    output->sqlvar[0].sqltype = SQL_INT64 + 1;
    output->sqlvar[0].sqlscale = 0;
    output->sqlvar[0].sqllen = sizeof value;
    output->sqlvar[0].sqldata = reinterpret_cast<char*>(&value);
    output->sqlvar[0].sqlind = &isNull;
    if (api.isc_dsql_execute(status, transaction.Handle(), statement.Handle(), 1, nullptr))
        throw xqv::fb::StatusError(*client, status);
    if (api.isc_dsql_fetch(status, statement.Handle(), 1, output) != 0)
        throw xqv::fb::StatusError(*client, status);
    return static_cast<long>(value);
}

} // namespace dbtest
