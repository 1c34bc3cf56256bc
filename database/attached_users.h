// Who is attached to a database: the user names of all attachments but our own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace xqv {

// Fills users with one name per attachment, in the server's order, less one entry equal to
// userName ignoring case (the query's own attachment). On an error users is left as it was.
void GetAttachedUsers(const std::string& clientLibrary, const std::string& database,
                      const std::string& userName, const std::string& password,
                      const std::string& roleName, std::vector<std::string>& users);

// The names of an isc_info_user_names answer: items of tag 53, two length bytes (not used), a
// name length byte and the name. Reading stops at the first other tag, at the end of the
// buffer, or before a name that would run past it.
std::vector<std::string> ReadUserNames(const char* buffer, std::size_t size);

// Windows-1251 text compared ignoring the case of Latin and Cyrillic letters.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

} // namespace xqv
