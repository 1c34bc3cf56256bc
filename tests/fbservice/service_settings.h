// Where the test service and the programs that drive it meet: one registry key holds what the
// service needs to reach the test environment (its own environment is not the test's) and how
// it is to behave. The service reads it at every start and stop request.
#pragma once

#include <windows.h>
#include <string>
#include "fb_service_fixture.h"

namespace fbservice {

struct Settings {
    testenv::FbInstallation installation = testenv::FbInstallation::None;
    std::string script;     // Unix path of testenv/fb-server.sh
    std::string testenvDir; // Unix path of the test environment's folder
    std::string workerExe;  // Windows path the leftover server processes run from
    testenv::FbServiceBehaviour behaviour;
};

// All fields at their defaults when the key is missing.
Settings ReadSettings();
// False when the key cannot be written.
bool WriteSettings(const Settings& settings);

// The Windows path of a Unix path (drive Z: is the Unix root).
std::string WindowsPathOf(const std::string& unixPath);

} // namespace fbservice
