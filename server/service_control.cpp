// Stop and start of the Firebird service, from the update run and the service menu.
#include "service_control.h"

#include "errors.h"
#include "run_window.h"

namespace xqv {

DWORD ServiceStopPauseMs = 15000;

namespace {

// clang-format off
const char* const kCannotStop = "Невозможно остановить службу FireBird-сервера. Попробуйте перезагрузить компьютер и снова запустить приложение.";
const char* const kProcessesLeft = "Не удалось остановить процесс(ы):";
const char* const kProcessesLeftEnd = " классического FB сервера. \rВыполните остановку вручную и повторите попытку.";
const char* const kNotStopped = "Служба FireBird-сервера не остановлена!";
const char* const kStopped = "Служба FireBird остановлена.";
const char* const kCannotStart = "Невозможно запустить службу FireBird-сервера. Попробуйте перезагрузить компьютер и снова запустить приложение.";
const char* const kNotRunning = "Служба FireBird-сервера не запущена!";
const char* const kStarted = "Служба FireBird запущена.";
// clang-format on

// The debug privilege of the own process, on while the object lives and off again on every
// path out (switching it off does not restore an earlier state).
class DebugPrivilegeOn {
public:
    DebugPrivilegeOn() { SetDebugPrivilege(true); }
    DebugPrivilegeOn(const DebugPrivilegeOn&) = delete;
    DebugPrivilegeOn& operator=(const DebugPrivilegeOn&) = delete;
    ~DebugPrivilegeOn() { SetDebugPrivilege(false); }
};

} // namespace

void StopFbService(TFBServParams params, bool showResult) {
    if (!StopServiceAndWait("", params.ServiceName)) throw Error(kCannotStop);
    {
        // The processes a classic server leaves behind, and a super server that did not end.
        DebugPrivilegeOn privilege;
        if (!KillProcessesByName(params.ServerExe))
            throw Error(kProcessesLeft + params.ServerExe + kProcessesLeftEnd);
    }
    if (GetServiceState("", params.ServiceName) != SERVICE_STOPPED) throw Error(kNotStopped);
    // Gives the server time to let go of its files before anyone touches them.
    Sleep(ServiceStopPauseMs);
    if (showResult) Window().ShowPlainMessage(kStopped);
}

void StartFbService(TFBServParams params, bool showResult) {
    // A start is always a restart; a failed stop shows itself in the start that follows.
    try {
        StopFbService(params, false);
    } catch (const std::exception&) {
    }
    if (!StartServiceAndWait("", params.ServiceName)) throw Error(kCannotStart);
    // Either of the two known services running means the server is up, whichever was started.
    if (GetServiceState("", kGuardianServiceName) != SERVICE_RUNNING &&
        GetServiceState("", kVendorServiceName) != SERVICE_RUNNING)
        throw Error(kNotRunning);
    if (showResult) Window().ShowPlainMessage(kStarted);
}

} // namespace xqv
