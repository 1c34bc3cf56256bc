// The test service that stands in for the Firebird service: registered in Wine's service
// manager under the names server discovery finds, it starts and stops the private Firebird
// server of the test environment, so "stopped" means the server has really gone. Test programs
// use these calls to lay out an installation kind, make the service misbehave, and put
// everything back. Implemented with the test service itself (tests/fbservice).
#pragma once

#include <string>

namespace testenv {

enum class FbInstallation {
    None,            // no Firebird registered at all
    VendorSuper,     // the maker's own build, super server
    VendorClassic,   // the maker's own build, classic server
    StandardSuper,   // the maker's distribution of the standard instance, super server
    StandardClassic, // the same, classic server
};

// How the test service answers its next start and stop requests, until changed.
struct FbServiceBehaviour {
    bool refuseStart = false;  // a start ends in SERVICE_STOPPED; the server stays down
    bool refuseStop = false;   // a stop request is refused; the service and server keep running
    bool stuckPending = false; // start and stop stay pending for ever, checkpoint unchanged
    int leftoverProcesses = 0; // after a stop, this many processes of the server executable
                               // stay running (as a classic server's connection processes do)
};

// Registers the services and registry entries of that installation kind, removing those of
// every other kind, and leaves its service running and owning the private server. Fails the
// calling test when anything does not work.
void InstallFbServer(FbInstallation kind);

// The server executable's folder ("...\bin\") and its file name, as registered.
std::string FbServerExePath();

void SetFbServiceBehaviour(const FbServiceBehaviour& behaviour);

// Everything back to normal whatever the test did: default behaviour, the registered service
// running, the private server listening, leftover server processes gone. Safe on every path;
// call it from TearDown (or hold a FbServerRestorer).
void RestoreFbServer();

// True when the private server accepts connections.
bool FbServerListening();

struct FbServerRestorer {
    FbServerRestorer() = default;
    FbServerRestorer(const FbServerRestorer&) = delete;
    FbServerRestorer& operator=(const FbServerRestorer&) = delete;
    ~FbServerRestorer() { RestoreFbServer(); }
};

} // namespace testenv
