// Process helpers for the tests of service control, written independently of the routines under
// test: count processes by name, run sleeping processes under any name (the test service's
// program in its worker mode), read the debug privilege of the own token.
#pragma once

#include <windows.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <string>
#include "test_files.h"

namespace testenv {

// How many processes run the executable of that file name (any letter case).
inline int CountProcesses(const std::string& fileName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        count += lstrcmpiA(entry.szExeFile, fileName.c_str()) == 0;
    CloseHandle(snapshot);
    return count;
}

// Waits up to timeoutMs until exactly count processes of that name run; the last count seen.
inline int WaitForProcessCount(const std::string& fileName, int count, DWORD timeoutMs = 10000) {
    const ULONGLONG begin = GetTickCount64();
    int seen = CountProcesses(fileName);
    while (seen != count && GetTickCount64() - begin < timeoutMs) {
        Sleep(50);
        seen = CountProcesses(fileName);
    }
    return seen;
}

// A process that sleeps until ended, run from a copy of the test service's program at path.
// A protected one carries a security descriptor that grants nobody the right to terminate it;
// the handle its creator receives may still do so, and the destructor does.
class Sleeper {
public:
    explicit Sleeper(const std::string& path, bool protectedProcess = false) {
        testfiles::MakeFolders(path.substr(0, path.find_last_of('\\')));
        const std::string program = testfiles::ProgramFolder() + "\\xqvfbsvc.exe";
        if (!CopyFileA(program.c_str(), path.c_str(), FALSE) &&
            GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        // Everyone may wait for it; nothing else is granted.
        if (protectedProcess &&
            !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                "D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &descriptor, nullptr))
            return;
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
        std::string commandLine = "\"" + path + "\" worker";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(nullptr, &commandLine[0], descriptor ? &attributes : nullptr, nullptr,
                           FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup, &info)) {
            process_ = info.hProcess;
            CloseHandle(info.hThread);
        }
        if (descriptor) LocalFree(descriptor);
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;
    ~Sleeper() {
        if (!process_) return;
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 10000);
        CloseHandle(process_);
    }
    bool started() const { return process_ != nullptr; }
    // True while the process runs.
    bool running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    // Waits up to timeoutMs for the process to end; true when it has.
    bool Ended(DWORD timeoutMs = 10000) const {
        return process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
    }

private:
    HANDLE process_ = nullptr;
};

// Whether SeDebugPrivilege is enabled in the own process token.
inline bool DebugPrivilegeEnabled() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    LUID debug = {};
    LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &debug);
    char buffer[4096] = {};
    DWORD size = 0;
    bool enabled = false;
    if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
        const TOKEN_PRIVILEGES* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
            if (p.Luid.LowPart == debug.LowPart && p.Luid.HighPart == debug.HighPart)
                enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    CloseHandle(token);
    return enabled;
}

} // namespace testenv
