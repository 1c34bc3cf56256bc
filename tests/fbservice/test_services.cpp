#include "test_services.h"

#include <tlhelp32.h>
#include <stdexcept>
#include "win_handle.h"

namespace fbservice {

namespace {

const DWORD kStopWaitMs = 30000;
const DWORD kStartWaitMs = 60000;

using xqv::ServiceHandle;

std::string Failure(const std::string& what) {
    return what + " (error " + std::to_string(GetLastError()) + ")";
}

SC_HANDLE OpenManager() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) throw std::runtime_error(Failure("cannot open the service manager"));
    return manager;
}

// Waits until the service reports state; false when the time is up first.
bool WaitForState(const std::string& name, DWORD state, DWORD timeoutMs) {
    const ULONGLONG begin = GetTickCount64();
    while (QueryService(name).state != state) {
        if (GetTickCount64() - begin > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

// A stop request and the wait for the stop.
bool RequestStop(const std::string& name) {
    ServiceHandle manager(OpenManager());
    ServiceHandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_STOP));
    SERVICE_STATUS status = {};
    return service.get() && ControlService(service.get(), SERVICE_CONTROL_STOP, &status) &&
           WaitForState(name, SERVICE_STOPPED, kStopWaitMs);
}

} // namespace

ServiceInfo QueryService(const std::string& name) {
    ServiceInfo info;
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ServiceHandle service(
        manager.get() ? OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_STATUS) : nullptr);
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (service.get() &&
        QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                             reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
        info.state = status.dwCurrentState;
        info.processId = status.dwProcessId;
        info.controlsAccepted = status.dwControlsAccepted;
    }
    return info;
}

void CreateTestService(const std::string& name, const std::string& imagePath) {
    ServiceHandle manager(OpenManager());
    ServiceHandle service(
        CreateServiceA(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                       imagePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service.get()) throw std::runtime_error(Failure("cannot create the service " + name));
}

// Ends the service's process and waits until it has gone. Wine's service manager does not
// notice: the service keeps reporting its last state until it is started again.
void EndServiceProcess(const std::string& name) {
    const ServiceInfo info = QueryService(name);
    if (info.processId == 0) return;
    xqv::Handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, info.processId));
    if (!process.valid()) throw std::runtime_error(Failure("cannot open the process of " + name));
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 10000);
}

void BringDownTestService(const std::string& name) {
    const DWORD state = QueryService(name).state;
    if (state == 0 || state == SERVICE_STOPPED) return;
    if (state == SERVICE_RUNNING && RequestStop(name)) return;
    EndServiceProcess(name);
    if (QueryService(name).state == SERVICE_STOPPED) return;
    // The manager still holds the last state reported: a start and a stop as usual put it right.
    StartTestService(name);
    if (!RequestStop(name)) throw std::runtime_error(name + " does not stop");
}

void RemoveTestService(const std::string& name) {
    if (QueryService(name).state == 0) return;
    BringDownTestService(name);
    ServiceHandle manager(OpenManager());
    ServiceHandle service(OpenServiceA(manager.get(), name.c_str(), DELETE));
    if (!service.get() || !DeleteService(service.get()))
        throw std::runtime_error(Failure("cannot remove the service " + name));
}

void StartTestService(const std::string& name) {
    {
        ServiceHandle manager(OpenManager());
        ServiceHandle service(OpenServiceA(manager.get(), name.c_str(), SERVICE_START));
        if (!service.get() || !StartServiceA(service.get(), 0, nullptr))
            throw std::runtime_error(Failure("cannot start the service " + name));
    }
    const ULONGLONG begin = GetTickCount64();
    for (DWORD state = QueryService(name).state; state != SERVICE_RUNNING;
         state = QueryService(name).state) {
        if (state == SERVICE_STOPPED)
            throw std::runtime_error(name + " stopped while starting (see fbservice.log in the "
                                            "test environment's folder)");
        if (GetTickCount64() - begin > kStartWaitMs)
            throw std::runtime_error(name + " did not start in time");
        Sleep(50);
    }
}

void KillProcessesNamed(const std::vector<std::string>& names, DWORD exceptId) {
    xqv::Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) throw std::runtime_error(Failure("no process snapshot"));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == exceptId || entry.th32ProcessID == GetCurrentProcessId())
            continue;
        for (const std::string& name : names) {
            if (lstrcmpiA(entry.szExeFile, name.c_str()) != 0) continue;
            xqv::Handle process(
                OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
            if (!process.valid()) continue;
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 10000);
        }
    }
}

} // namespace fbservice
