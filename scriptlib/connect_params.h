// The connect parameter string the library is handed:
//   db_name=D; password=P; user_name=U; lc_ctype=C; sql_role_name=R; sql_dialect=3;
//   clientlib="F"
// Values are inserted without escaping, so a value (above all the password) may itself hold
// "; " or "=". The keys are therefore found in their fixed order from the right; only the
// boundary between the database and the password is taken from the left, so that the password,
// the freest value, may hold anything at all.
#pragma once

#include <string>
#include <string_view>

namespace xqv::script {

struct ConnectParams {
    std::string database;
    std::string password;
    std::string userName;
    std::string charSet;
    std::string roleName;
    int dialect = 3;
    std::string clientLibrary; // without the double quotes
};

// False when a key is missing or out of order, or the dialect is not 1, 2 or 3.
bool ParseConnectParams(std::string_view text, ConnectParams& params);

// The database parameter buffer of an attachment: the user name without surrounding blanks,
// the password as given, the role and character set when given, the SQL dialect. Raises
// xqv::Error naming the parameter (not showing its value) when a value is too long for the
// buffer.
std::string BuildDpb(const ConnectParams& params);

} // namespace xqv::script
