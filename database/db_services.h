// Switching a database between shutdown and online through the server's service manager.
#pragma once

#include <string>
#include "db_params.h"

namespace xqv {

// Forced shutdown with a one-second wait, then a two-second pause. Raises fb::ClientError
// with the server's message when the server refuses (for a database already shut down the
// message contains "Target shutdown mode is invalid for database").
void ShutdownDatabase(const std::string& clientLibrary, const std::string& database,
                      const std::string& userName, const std::string& password);
// Back to online; an online database is refused with the same message.
void BringDatabaseOnline(const std::string& clientLibrary, const std::string& database,
                         const std::string& userName, const std::string& password);

// "service_mgr" for a local database, the server part + ":service_mgr" otherwise; a network
// form without a server part is refused.
std::string ServiceManagerName(const DbLocation& location);
// Version, current version, user name, password.
std::string BuildServiceSpb(const std::string& userName, const std::string& password);
// The properties action with the database path (left out when empty) and, respectively, the
// forced shutdown after one second, or the online option.
std::string BuildShutdownRequest(const std::string& path);
std::string BuildOnlineRequest(const std::string& path);

} // namespace xqv
