#include "connect_params.h"

#include <ibase.h>
#include "errors.h"
#include "sql_text.h"

namespace xqv::script {

namespace {

// Cuts the value of the rightmost "key" off the end of rest.
bool TakeLast(std::string_view& rest, std::string_view key, std::string_view& value) {
    const size_t pos = rest.rfind(key);
    if (pos == std::string_view::npos) return false;
    value = rest.substr(pos + key.size());
    rest = rest.substr(0, pos);
    return true;
}

// The message names the parameter, never its value: the value may be the password.
void AppendItem(std::string& dpb, char tag, const char* key, std::string_view value) {
    if (value.size() > 255)
        throw Error(std::string("Слишком длинное значение параметра подключения \"") + key + "\"!");
    dpb += tag;
    dpb += static_cast<char>(value.size());
    dpb += value;
}

} // namespace

bool ParseConnectParams(std::string_view text, ConnectParams& params) {
    std::string_view rest = text;
    std::string_view clientLibrary, dialect, role, charSet, user;
    if (!TakeLast(rest, "; clientlib=", clientLibrary) ||
        !TakeLast(rest, "; sql_dialect=", dialect) || !TakeLast(rest, "; sql_role_name=", role) ||
        !TakeLast(rest, "; lc_ctype=", charSet) || !TakeLast(rest, "; user_name=", user))
        return false;
    const std::string_view dbKey = "db_name=", passwordKey = "; password=";
    if (rest.substr(0, dbKey.size()) != dbKey) return false;
    const size_t passwordPos = rest.find(passwordKey, dbKey.size());
    if (passwordPos == std::string_view::npos) return false;
    if (dialect != "1" && dialect != "2" && dialect != "3") return false;
    if (clientLibrary.size() >= 2 && clientLibrary.front() == '"' && clientLibrary.back() == '"')
        clientLibrary = clientLibrary.substr(1, clientLibrary.size() - 2);

    params.database = rest.substr(dbKey.size(), passwordPos - dbKey.size());
    params.password = rest.substr(passwordPos + passwordKey.size());
    params.userName = user;
    params.charSet = charSet;
    params.roleName = role;
    params.dialect = dialect[0] - '0';
    params.clientLibrary = clientLibrary;
    return true;
}

std::string BuildDpb(const ConnectParams& params) {
    std::string_view user = TrimRight(params.userName);
    while (!user.empty() && IsBlank(user.front()))
        user.remove_prefix(1);
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    AppendItem(dpb, isc_dpb_user_name, "user_name", user);
    AppendItem(dpb, isc_dpb_password, "password", params.password);
    if (!params.roleName.empty())
        AppendItem(dpb, isc_dpb_sql_role_name, "sql_role_name", params.roleName);
    if (!params.charSet.empty()) AppendItem(dpb, isc_dpb_lc_ctype, "lc_ctype", params.charSet);
    const char dialect = static_cast<char>(params.dialect);
    AppendItem(dpb, isc_dpb_sql_dialect, "sql_dialect", std::string_view(&dialect, 1));
    return dpb;
}

} // namespace xqv::script
