// What a test program knows of the test environment: the values ctest puts into its
// environment (testenv/testenv.conf and the build's folders).
#pragma once

#include <cstdlib>
#include <string>

namespace testenv {

inline std::string Value(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

inline std::string FbHost() { return Value("XQV_FB_HOST"); }
inline std::string FbPort() { return Value("XQV_FB_PORT"); }
inline std::string FbUser() { return Value("XQV_FB_USER"); }
inline std::string FbPassword() { return Value("XQV_FB_PASSWORD"); }
// The server part of a database string that reaches the test server.
inline std::string FbServer() { return FbHost() + "/" + FbPort(); }
// The folder (Unix path) where the test environment keeps its state.
inline std::string Dir() { return Value("XQV_TESTENV_DIR"); }

} // namespace testenv
