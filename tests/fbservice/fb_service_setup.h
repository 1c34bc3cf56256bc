// The work behind the test service fixture (fb_service_fixture.h), for test programs and the
// command-line tool alike: each call throws std::runtime_error saying what did not work.
#pragma once

#include <string>
#include "fb_service_fixture.h"

namespace fbservice {

void Install(testenv::FbInstallation kind);
void Restore();
void SetBehaviour(const testenv::FbServiceBehaviour& behaviour);
// The registered server executable (C:\xqvfb\bin\...); empty when nothing is installed.
std::string ServerExePath();
bool ServerListening();

} // namespace fbservice
