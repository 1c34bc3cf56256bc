#include "output_statement.h"

#include <vector>

namespace xqv::script {

namespace {

// An XSQLDA for n values in memory of its own.
class OutputDescriptor {
public:
    explicit OutputDescriptor(short n) : memory_(XSQLDA_LENGTH(n)) {
        Get()->version = SQLDA_VERSION1;
        Get()->sqln = n;
    }
    XSQLDA* Get() { return reinterpret_cast<XSQLDA*>(memory_.data()); }

    // Room for every described value and its null flag.
    void Bind() {
        XSQLDA* sqlda = Get();
        values_.resize(sqlda->sqld);
        nulls_.resize(sqlda->sqld);
        for (short i = 0; i < sqlda->sqld; ++i) {
            XSQLVAR& var = sqlda->sqlvar[i];
            const bool varying = (var.sqltype & ~1) == SQL_VARYING;
            values_[i].assign(var.sqllen + (varying ? sizeof(short) : 0) + 1, 0);
            var.sqldata = values_[i].data();
            var.sqlind = &nulls_[i];
        }
    }

private:
    std::vector<char> memory_;
    std::vector<std::vector<char>> values_;
    std::vector<short> nulls_;
};

int StatementType(const fb::ClientLibrary& client, isc_stmt_handle* statement) {
    const char item = isc_info_sql_stmt_type;
    char result[16] = {};
    fb::StatusVector status;
    if (client.Api().isc_dsql_sql_info(status, statement, 1, &item, sizeof result, result))
        throw fb::StatusError(client, status);
    if (result[0] != isc_info_sql_stmt_type) return 0;
    const short length = static_cast<short>(client.Api().isc_vax_integer(result + 1, 2));
    return static_cast<int>(client.Api().isc_vax_integer(result + 3, length));
}

} // namespace

bool StatusHolds(const ISC_STATUS* status, ISC_STATUS code) {
    for (const ISC_STATUS* p = status; *p != isc_arg_end;) {
        const ISC_STATUS kind = *p++;
        if (kind == isc_arg_gds && *p == code) return true;
        p += kind == isc_arg_cstring ? 2 : 1;
    }
    return false;
}

size_t ExecuteWithOutput(const std::shared_ptr<const fb::ClientLibrary>& client,
                         isc_db_handle* database, isc_tr_handle* transaction,
                         const std::string& statement, unsigned short dialect) {
    const fb::ClientApi& api = client->Api();
    fb::Statement handle(client, database);
    fb::StatusVector status;
    OutputDescriptor output(1);
    if (api.isc_dsql_prepare(status, transaction, handle.Handle(), 0, statement.c_str(), dialect,
                             output.Get()))
        throw fb::StatusError(*client, status);
    if (output.Get()->sqld > output.Get()->sqln) {
        OutputDescriptor wider(output.Get()->sqld);
        if (api.isc_dsql_describe(status, handle.Handle(), dialect, wider.Get()))
            throw fb::StatusError(*client, status);
        output = std::move(wider);
    }
    output.Bind();

    const int type = StatementType(*client, handle.Handle());
    if (type != isc_info_sql_stmt_select && type != isc_info_sql_stmt_select_for_upd) {
        if (api.isc_dsql_execute2(status, transaction, handle.Handle(), dialect, nullptr,
                                  output.Get()))
            throw fb::StatusError(*client, status);
        return 0;
    }
    if (api.isc_dsql_execute(status, transaction, handle.Handle(), dialect, nullptr))
        throw fb::StatusError(*client, status);
    size_t rows = 0;
    ISC_STATUS fetched;
    while ((fetched = api.isc_dsql_fetch(status, handle.Handle(), dialect, output.Get())) == 0)
        ++rows;
    if (fetched != 100) throw fb::StatusError(*client, status);
    return rows;
}

} // namespace xqv::script
