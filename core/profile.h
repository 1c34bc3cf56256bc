// The compiled-in settings of the chosen project, held by the main window and read by the
// update engine and the database operations.
#pragma once

#include <string>

namespace xqv {

struct ProjectProfile {
    std::string ClientLibraryName; // file name of the Firebird client library
    std::string DatabaseFileName;  // database file in the "DB_Data" folder
    std::string ClientExeName;     // client executable in the "Program" folder
    std::string DbConnectPrefix;   // host and port in front of the database path
    int FreeSpaceFactor = 0;       // multiple of the database size that must be free
    std::string ProjectName;       // empty: no project chosen
};

} // namespace xqv
