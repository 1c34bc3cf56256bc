// The low-level routines under the service operations: start and stop a Windows service and wait
// for it, its state, termination of processes by executable name, and the debug privilege. They
// raise nothing; the operations turn their answers into errors.
#include <windows.h>
#include <tlhelp32.h>
#include <algorithm>
#include "service_control.h"
#include "win_handle.h"

namespace xqv {

namespace {

// A wait hint of 0 still sleeps this long between status queries, so the wait does not spin.
const DWORD kShortestWaitSliceMs = 20;

// Empty text means the local machine.
const char* MachineArgument(const std::string& machine) {
    return machine.empty() ? nullptr : machine.c_str();
}

// Follows the service from the status it reported until it reports target: each pass sleeps the
// service's own wait hint and queries again. Leaves when a query fails, the checkpoint decreases
// or boundMs have passed (never sleeping past the bound), and on a start (stoppedEndsWait) when
// the service falls back to SERVICE_STOPPED: a failed start cannot recover. Answers the last
// state seen.
DWORD WaitForState(SC_HANDLE service, SERVICE_STATUS status, DWORD target, DWORD boundMs,
                   bool stoppedEndsWait) {
    const ULONGLONG begin = GetTickCount64();
    DWORD state = status.dwCurrentState;
    while (state != target && !(stoppedEndsWait && state == SERVICE_STOPPED)) {
        const ULONGLONG spent = GetTickCount64() - begin;
        if (spent >= boundMs) break;
        const DWORD checkpoint = status.dwCheckPoint;
        const DWORD hint = std::max(status.dwWaitHint, kShortestWaitSliceMs);
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(hint, boundMs - spent)));
        if (!QueryServiceStatus(service, &status)) break;
        state = status.dwCurrentState;
        if (status.dwCheckPoint < checkpoint) break;
    }
    return state;
}

// Only the ASCII letters change.
std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

// The executable text of a snapshot entry names exeName: its file name part (after the last
// backslash or colon) or, failing that, the whole text, ignoring the case of ASCII letters.
bool NamesExecutable(const std::string& exeText, const std::string& upperName) {
    const std::string upper = UpperAscii(exeText);
    const size_t cut = upper.find_last_of("\\:");
    const std::string fileName = cut == std::string::npos ? upper : upper.substr(cut + 1);
    return fileName == upperName || upper == upperName;
}

// Opens the process for termination and terminates it. A process that has ended by itself
// since the snapshot (its id no longer exists) counts as terminated.
bool TerminateById(DWORD processId) {
    Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    if (!process.valid()) return GetLastError() == ERROR_INVALID_PARAMETER;
    return TerminateProcess(process.get(), 0) != 0;
}

} // namespace

bool StartServiceAndWait(const std::string& machine, const std::string& service, DWORD boundMs) {
    DWORD state = SERVICE_STOPPED;
    ServiceHandle manager(OpenSCManagerA(MachineArgument(machine), nullptr, SC_MANAGER_CONNECT));
    if (manager) {
        ServiceHandle handle(
            OpenServiceA(manager.get(), service.c_str(), SERVICE_START | SERVICE_QUERY_STATUS));
        SERVICE_STATUS status = {};
        // A service that is already running refuses the start: the answer stays false.
        if (handle && StartServiceA(handle.get(), 0, nullptr) &&
            QueryServiceStatus(handle.get(), &status))
            state = WaitForState(handle.get(), status, SERVICE_RUNNING, boundMs, true);
    }
    return state == SERVICE_RUNNING;
}

bool StopServiceAndWait(const std::string& machine, const std::string& service, DWORD boundMs) {
    // 0 is no service state: what remains when the stop request reports none.
    DWORD state = 0;
    ServiceHandle manager(OpenSCManagerA(MachineArgument(machine), nullptr, SC_MANAGER_CONNECT));
    if (manager) {
        ServiceHandle handle(
            OpenServiceA(manager.get(), service.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS));
        SERVICE_STATUS status = {};
        if (handle) {
            // A refused request still reports the service's state (SERVICE_STOPPED for a service
            // that is not active, so stopping a stopped service answers true).
            const bool accepted = ControlService(handle.get(), SERVICE_CONTROL_STOP, &status);
            state = status.dwCurrentState;
            if (accepted && QueryServiceStatus(handle.get(), &status))
                state = WaitForState(handle.get(), status, SERVICE_STOPPED, boundMs, false);
        }
    }
    return state == SERVICE_STOPPED;
}

DWORD GetServiceState(const std::string& machine, const std::string& service) {
    DWORD state = SERVICE_STOPPED;
    ServiceHandle manager(OpenSCManagerA(MachineArgument(machine), nullptr, SC_MANAGER_CONNECT));
    if (manager) {
        ServiceHandle handle(OpenServiceA(manager.get(), service.c_str(), SERVICE_QUERY_STATUS));
        SERVICE_STATUS status = {};
        if (handle && QueryServiceStatus(handle.get(), &status)) state = status.dwCurrentState;
    }
    return state;
}

bool KillProcessesByName(const std::string& exeName) {
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    // Without a snapshot nothing can be said about the processes: not a success.
    if (!snapshot.valid()) return false;
    const std::string upperName = UpperAscii(exeName);
    const DWORD ownId = GetCurrentProcessId();
    bool answer = true;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == ownId || !NamesExecutable(entry.szExeFile, upperName)) continue;
        // One process that stays running makes the answer false, whatever follows.
        if (!TerminateById(entry.th32ProcessID)) answer = false;
    }
    return answer;
}

bool SetDebugPrivilege(bool enable) {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &rawToken)) return false;
    Handle token(rawToken);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid);
    // Switching off sets the used-for-access bit with the enabled bit clear.
    privileges.Privileges[0].Attributes =
        enable ? SE_PRIVILEGE_ENABLED : SE_PRIVILEGE_USED_FOR_ACCESS;
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    // ERROR_NOT_ALL_ASSIGNED: the token does not hold the privilege.
    return GetLastError() == ERROR_SUCCESS;
}

} // namespace xqv
