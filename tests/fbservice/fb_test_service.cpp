// The test service that stands in for the Firebird service: a start starts the private Firebird
// server of the test environment, a stop stops it, reporting pending states with rising
// checkpoints as a real service does. The settings key (service_settings.h) says how to reach
// the server and how to misbehave; it is read at every start and stop request. The same program
// copied under the server's executable names is every service of an installation.
//   xqvfbsvc            run as a service (started by the service control manager)
//   xqvfbsvc worker     sleep until terminated: a server process left after a stop
#include <windows.h>
#include <cstring>
#include <mutex>
#include <string>
#include "fb_server_script.h"
#include "service_settings.h"

namespace {

const DWORD kScriptTimeoutMs = 60000;
const DWORD kPendingHintMs = 1000;
// A stuck service asks for long waits, so that a bounded wait has to cut its last sleep short.
const DWORD kStuckHintMs = 2000;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopRequested = nullptr;
std::mutex statusLock;
SERVICE_STATUS status = {};
// A running service that refuses to stop says so by not accepting the stop control: the
// manager then refuses the request itself (Wine passes no refusal of a handler on).
bool acceptStop = true;

// Reports a state; a pending state takes the next checkpoint.
void Report(DWORD state, DWORD waitHint = 0) {
    std::lock_guard<std::mutex> lock(statusLock);
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING && acceptStop ? SERVICE_ACCEPT_STOP : 0;
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    status.dwWaitHint = waitHint;
    SetServiceStatus(statusHandle, &status);
}

void ReportStopped(DWORD specificExitCode) {
    {
        std::lock_guard<std::mutex> lock(statusLock);
        status.dwWin32ExitCode = specificExitCode ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
        status.dwServiceSpecificExitCode = specificExitCode;
    }
    Report(SERVICE_STOPPED);
}

// Follows the settings while the service lives, so that a running service stops accepting the
// stop control as soon as it is told to refuse it, and accepts it again after.
DWORD WINAPI WatchSettings(void*) {
    for (;;) {
        const bool accept = !fbservice::ReadSettings().behaviour.refuseStop;
        {
            std::lock_guard<std::mutex> lock(statusLock);
            if (accept != acceptStop) {
                acceptStop = accept;
                if (status.dwCurrentState == SERVICE_RUNNING) {
                    status.dwControlsAccepted = accept ? SERVICE_ACCEPT_STOP : 0;
                    SetServiceStatus(statusHandle, &status);
                }
            }
        }
        Sleep(50);
    }
}

// Appends a line to the service's log beside the test environment's other files.
void Log(const fbservice::Settings& settings, const std::string& line) {
    if (settings.testenvDir.empty()) return;
    const std::string path = fbservice::WindowsPathOf(settings.testenvDir + "/fbservice.log");
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = std::to_string(GetCurrentProcessId()) + " " + line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
}

// Runs the server script while reporting the pending state with a new checkpoint each tick.
bool RunScript(const fbservice::Settings& settings, const char* action, DWORD pendingState) {
    fbservice::ScriptResult result = fbservice::RunFbServerScript(
        settings, action, kScriptTimeoutMs, [&] { Report(pendingState, kPendingHintMs); });
    Log(settings,
        std::string(action) + " -> " + std::to_string(result.exitCode) + " " + result.output);
    return result.exitCode == 0;
}

// Processes of the server executable that outlive the stop, as a classic server's connection
// processes do; they belong to nobody and run until terminated.
void LeaveProcesses(const fbservice::Settings& settings) {
    for (int i = 0; i < settings.behaviour.leftoverProcesses; ++i) {
        std::string commandLine = "\"" + settings.workerExe + "\" worker";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS,
                            nullptr, nullptr, &startup, &process)) {
            Log(settings, "cannot start " + commandLine);
            continue;
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
    if (control != SERVICE_CONTROL_STOP) return ERROR_CALL_NOT_IMPLEMENTED;
    const fbservice::Settings settings = fbservice::ReadSettings();
    Log(settings, "stop request");
    if (settings.behaviour.refuseStop) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    if (settings.behaviour.stuckPending) {
        Report(SERVICE_STOP_PENDING, kStuckHintMs);
        return NO_ERROR;
    }
    // The stop itself runs on the service's own thread: a handler must answer at once.
    Report(SERVICE_STOP_PENDING, kPendingHintMs);
    SetEvent(stopRequested);
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char** argv) {
    statusHandle = RegisterServiceCtrlHandlerExA(argv[0], Handler, nullptr);
    if (!statusHandle) return;
    const fbservice::Settings settings = fbservice::ReadSettings();
    Log(settings, std::string("start request for ") + argv[0]);
    acceptStop = !settings.behaviour.refuseStop;
    CloseHandle(CreateThread(nullptr, 0, WatchSettings, nullptr, 0, nullptr));
    Report(SERVICE_START_PENDING, settings.behaviour.stuckPending ? kStuckHintMs : kPendingHintMs);
    // Pending for ever with the same checkpoint, until the process is ended.
    if (settings.behaviour.stuckPending) Sleep(INFINITE);
    if (settings.behaviour.refuseStart) {
        // Pending a moment first, so the start request itself succeeds and the caller sees the
        // service fall back to stopped.
        Sleep(300);
        ReportStopped(1);
        return;
    }
    if (!RunScript(settings, "start", SERVICE_START_PENDING)) {
        ReportStopped(2);
        return;
    }
    Report(SERVICE_RUNNING);

    WaitForSingleObject(stopRequested, INFINITE);
    const fbservice::Settings atStop = fbservice::ReadSettings();
    const bool stopped = RunScript(atStop, "stop", SERVICE_STOP_PENDING);
    LeaveProcesses(atStop);
    ReportStopped(stopped ? 0 : 3);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "worker") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    stopRequested = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    // An own-process service: the manager starts whichever name it was registered under.
    char name[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
