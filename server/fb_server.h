// Which Firebird server is installed on this machine: read from the registry entries of the
// maker's own server build or of the maker's distribution of the standard instance.
#pragma once

#include <string>

namespace xqv {

struct TFBServParams {
    std::string ServerRoot;    // installation folder with a trailing backslash
    std::string ServerType;    // "SUPER", "CLASSIC", or empty when no server was identified
    std::string ConnectPrefix; // "localhost/" + port + ":"
    std::string ServerExe;     // upper-case file name of the server executable
    std::string ServiceName;   // the Windows service that is stopped and started
};

// The two services that run a recognised server: the maker's own build, and the guardian of the
// standard instance.
extern const char* const kVendorServiceName;
extern const char* const kGuardianServiceName;

// The local server as the last successful discovery found it; all fields empty before that.
extern TFBServParams FbServParams;

// Fills params from the registry. Clears ServerType on entry; finding no installation is not an
// error (ServerType stays empty). Throws xqv::Error when an installation is found but damaged.
void DetectFbServer(TFBServParams& params);

} // namespace xqv
