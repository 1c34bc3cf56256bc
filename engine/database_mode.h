// Switching the database of an installation between normal multi-user mode (online) and
// single-user shutdown by hand, from the service menu.
#pragma once

#include <string>

namespace xqv {

// Builds the context for location, then switches its database; the result is logged and shown
// in a message box. A database already in that mode gets a warning, not an error. Errors (no
// server part at the location, parameters, the server's refusal) travel on unchanged.
void DatabaseOnlineCommand(const std::string& location, const std::string& password);
void DatabaseShutdownCommand(const std::string& location, const std::string& password);

} // namespace xqv
