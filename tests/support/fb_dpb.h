// A minimal attach/create parameter block for tests that talk to the test server directly.
#pragma once

#include <string>

namespace testenv {

inline std::string UserDpb(const std::string& user, const std::string& password) {
    std::string dpb(1, '\x01'); // isc_dpb_version1
    dpb += '\x1c';              // isc_dpb_user_name
    dpb += static_cast<char>(user.size());
    dpb += user;
    dpb += '\x1d'; // isc_dpb_password
    dpb += static_cast<char>(password.size());
    dpb += password;
    return dpb;
}

} // namespace testenv
