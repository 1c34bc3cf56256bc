#include "fb_server_script.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fbservice {

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A result file name no other call uses: process id, time and a counter.
std::string ResultName() {
    static int counter = 0;
    return "result-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(GetTickCount64()) + "-" + std::to_string(++counter);
}

} // namespace

ScriptResult RunFbServerScript(const Settings& settings, const std::string& action, DWORD timeoutMs,
                               const std::function<void()>& onTick) {
    ScriptResult result;
    const std::string folder = settings.testenvDir + "/fbservice";
    CreateDirectoryA(WindowsPathOf(folder).c_str(), nullptr);
    const std::string unixResult = folder + "/" + ResultName();
    const std::string resultFile = WindowsPathOf(unixResult);
    const std::string logFile = resultFile + ".log";

    std::string commandLine = "/bin/bash \"" + settings.script + "\" --testenv \"" +
                              settings.testenvDir + "\" --result \"" + unixResult + "\" " + action;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // No console: a console host made for a Unix program never sees it end and would live on,
    // holding the output of whoever started it.
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS,
                        nullptr, nullptr, &startup, &process)) {
        result.output =
            "cannot start " + commandLine + " (error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    const ULONGLONG begin = GetTickCount64();
    while (GetFileAttributesA(resultFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() - begin > timeoutMs) {
            result.output = ReadWhole(logFile) + "fb-server.sh " + action + " did not finish";
            DeleteFileA(logFile.c_str());
            return result;
        }
        if (onTick) onTick();
        Sleep(100);
    }
    result.exitCode = std::atoi(ReadWhole(resultFile).c_str());
    result.output = ReadWhole(logFile);
    DeleteFileA(resultFile.c_str());
    DeleteFileA(logFile.c_str());
    return result;
}

} // namespace fbservice
