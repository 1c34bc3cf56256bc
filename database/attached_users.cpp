#include "attached_users.h"

#include <algorithm>
#include <ibase.h>
#include "db_connection.h"
#include "db_params.h"

namespace xqv {

// The answer's size: about two thousand attachments of a six-letter name; beyond that the
// server cuts the list short.
static const std::size_t kInfoBufferSize = 20480;

void GetAttachedUsers(const std::string& clientLibrary, const std::string& database,
                      const std::string& userName, const std::string& password,
                      const std::string& roleName, std::vector<std::string>& users) {
    CheckDbParams(clientLibrary, database, userName, password);
    UseConnectionClientLibrary(clientLibrary);
    TDBConnection connection(database, userName, password, roleName);
    connection.OpenConnection();

    // Asked through the library that made the attachment: a handle belongs to its library.
    const fb::ClientLibrary& client = connection.Client();
    const char items[] = {isc_info_user_names};
    std::vector<char> buffer(kInfoBufferSize);
    fb::StatusVector status;
    if (client.Api().isc_database_info(status, connection.DbHandle(), sizeof items, items,
                                       static_cast<short>(buffer.size()), buffer.data()))
        throw fb::StatusError(client, status);

    std::vector<std::string> names = ReadUserNames(buffer.data(), buffer.size());
    // The attachment was made with the trimmed name, and the server reports it so.
    const std::string attachedAs = TrimBlanks(userName);
    auto own = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
        return SameTextIgnoringCase(name, attachedAs);
    });
    if (own != names.end()) names.erase(own);
    users = std::move(names);
    // The connection detaches as it goes, also when an error leaves above.
}

} // namespace xqv
