// Where the database tests keep their files and which libraries they load, per platform
// (test_place_win.cpp, test_place_posix.cpp).
#pragma once

#include <string>

namespace dbtest {

// The path of a database file in the tests' own folder (created when missing), as the server
// is given it; any file of that name left by an earlier run is removed first.
std::string FreshDatabasePath(const std::string& fileName);
bool FileExists(const std::string& path);
// A library of the platform that loads but is no Firebird client library.
const char* OtherSystemLibrary();

} // namespace dbtest
