// Service manager and process work of the test equipment, written independently of the service
// routines under test. Failures throw std::runtime_error.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace fbservice {

// The service's current state and process; state 0 when no such service is registered.
struct ServiceInfo {
    DWORD state = 0;
    DWORD processId = 0;
    DWORD controlsAccepted = 0;
};
ServiceInfo QueryService(const std::string& name);

// Registers an own-process service started on demand.
void CreateTestService(const std::string& name, const std::string& imagePath);
// Brings the service down (a stop request, then its process ended if it does not stop) and
// removes it; nothing happens when it is not registered.
void RemoveTestService(const std::string& name);
// Starts the service and waits until it runs.
void StartTestService(const std::string& name);
// Stops the service by a stop request; when it does not stop (stuck, or refusing), its process
// is ended. The settings must already ask for the usual behaviour.
void BringDownTestService(const std::string& name);
// Ends the process of the service, whatever it is doing.
void EndServiceProcess(const std::string& name);

// Terminates every process whose executable file name is one of names (any letter case),
// except the process exceptId; waits until they have gone.
void KillProcessesNamed(const std::vector<std::string>& names, DWORD exceptId = 0);

} // namespace fbservice
