// The test service fixture for test programs: the work of fb_service_setup.cpp, its failures
// turned into failures of the calling test.
#include "fb_service_fixture.h"

#include <gtest/gtest.h>
#include <exception>
#include "fb_service_setup.h"

namespace testenv {

namespace {

// A fatal failure of the calling function: in a test's SetUp it keeps the test body from
// running, elsewhere ASSERT_NO_FATAL_FAILURE passes it on.
template <typename Work> void Run(const char* what, Work work) {
    try {
        work();
    } catch (const std::exception& e) {
        FAIL() << what << ": " << e.what();
    }
}

} // namespace

void InstallFbServer(FbInstallation kind) {
    Run("InstallFbServer", [&] { fbservice::Install(kind); });
}

std::string FbServerExePath() {
    return fbservice::ServerExePath();
}

void SetFbServiceBehaviour(const FbServiceBehaviour& behaviour) {
    Run("SetFbServiceBehaviour", [&] { fbservice::SetBehaviour(behaviour); });
}

void RestoreFbServer() {
    Run("RestoreFbServer", [] { fbservice::Restore(); });
}

bool FbServerListening() {
    return fbservice::ServerListening();
}

} // namespace testenv
