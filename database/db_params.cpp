#include "db_params.h"

#include <ibase.h>
#include "errors.h"

namespace xqv {

const char* const kUserNameTooLong = "Имя пользователя длиннее 255 байт!";
const char* const kPasswordTooLong = "Пароль длиннее 255 байт!";

std::string TrimBlanks(const std::string& text) {
    // Compared as unsigned bytes: Windows-1251 letters lie above 127.
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

void CheckDbParams(const std::string& clientLibrary, const std::string& database,
                   const std::string& userName, const std::string& password) {
    if (TrimBlanks(clientLibrary).empty()) throw Error("Не задана клиентская библиотека!");
    if (TrimBlanks(database).empty()) throw Error("Не задана база данных!");
    if (TrimBlanks(userName).empty()) throw Error("Не задано имя пользователя!");
    if (TrimBlanks(password).empty()) throw Error("Не задан пароль!");
}

namespace {

// Splits text at the first separator: the part before it, the part after it (empty when the
// separator is missing).
DbLocation SplitAt(const std::string& text, char separator, DbProtocol protocol) {
    const size_t at = text.find(separator);
    if (at == std::string::npos) return {text, "", protocol};
    return {text.substr(0, at), text.substr(at + 1), protocol};
}

} // namespace

DbLocation SplitDatabaseString(const std::string& database) {
    if (database.size() > 2 && database[1] == ':' && database.find(':', 2) == std::string::npos)
        return {"", database, DbProtocol::Local};
    // Only a string that starts with two backslashes names a server by a pipe; two backslashes
    // further on belong to a path.
    if (database.rfind("\\\\", 0) == 0)
        return SplitAt(database.substr(2), '\\', DbProtocol::NamedPipe);
    if (database.find('@') != std::string::npos) return SplitAt(database, '@', DbProtocol::AtSign);
    if (database.find(':') != std::string::npos) return SplitAt(database, ':', DbProtocol::Tcp);
    return {"", database, DbProtocol::Local};
}

std::string FormDatabaseString(const DbLocation& location) {
    switch (location.protocol) {
    case DbProtocol::Tcp:
        return location.server + ":" + location.path;
    case DbProtocol::NamedPipe:
        return "\\\\" + location.server + "\\" + location.path;
    case DbProtocol::AtSign:
        return location.server + "@" + location.path;
    case DbProtocol::Local:
        break;
    }
    return location.path;
}

void AppendShortItem(std::string& buffer, char tag, const std::string& value,
                     const char* tooLongMessage) {
    if (value.size() > 255) throw Error(tooLongMessage);
    buffer += tag;
    buffer += static_cast<char>(value.size());
    buffer += value;
}

std::string BuildAttachDpb(const std::string& userName, const std::string& password,
                           const std::string& roleName) {
    std::string dpb(1, isc_dpb_version1);
    AppendShortItem(dpb, isc_dpb_user_name, TrimBlanks(userName), kUserNameTooLong);
    AppendShortItem(dpb, isc_dpb_password, password, kPasswordTooLong);
    if (!roleName.empty())
        AppendShortItem(dpb, isc_dpb_sql_role_name, roleName, "Имя роли длиннее 255 байт!");
    AppendShortItem(dpb, isc_dpb_lc_ctype, "WIN1251", "");
    return dpb;
}

} // namespace xqv
