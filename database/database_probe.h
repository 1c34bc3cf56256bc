// Looking at a database without changing it: its shutdown mode, and a statement tried inside a
// transaction that is always rolled back.
#pragma once

#include <string>

namespace xqv {

// The database's shutdown mode as the server reports it: 0 online, otherwise one of the
// shutdown modes (1 multi-user maintenance, 2 single-user, 3 full). Raises the attach error
// (AttachErrorText) or the server's error.
long ReadShutdownMode(const std::string& clientLibrary, const std::string& database,
                      const std::string& userName, const std::string& password);

// Runs statement in a transaction of its own that is rolled back whatever the statement did:
// nothing of it is ever committed. Raises fb::ClientError with the server's message when the
// statement fails (after the rollback), and the attach error as ReadShutdownMode does. The
// transaction does not wait for locks: a statement that would wait fails instead.
void ExecuteRolledBack(const std::string& clientLibrary, const std::string& database,
                       const std::string& userName, const std::string& password,
                       const std::string& statement);

} // namespace xqv
