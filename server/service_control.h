// Stopping and starting the Windows service of the local Firebird server, and the routines under
// it: service control with waiting, the service state, termination of leftover server
// processes, and the debug privilege of the program's own process.
#pragma once

#include <windows.h>
#include <string>
#include "fb_server.h"

namespace xqv {

// Stops the service params.ServiceName, terminates every remaining process of params.ServerExe,
// requires the service to report stopped, then pauses ServiceStopPauseMs so the server has let
// go of its files. showResult adds a plain message box on success. Throws xqv::Error with the
// fixed texts of each failed step.
void StopFbService(TFBServParams params, bool showResult);

// A start is always a restart: StopFbService first (its errors discarded), then the start of
// params.ServiceName; succeeds when either known Firebird service reports running afterwards.
void StartFbService(TFBServParams params, bool showResult);

// The pause after every successful stop: 15,000 ms. Only test programs change it.
extern DWORD ServiceStopPauseMs;

// The longest a start or stop waits for a service that keeps reporting a pending state before
// the routine answers by the last state it saw.
const DWORD kServiceWaitBoundMs = 180000;

// The low-level routines raise nothing. machine empty means the local machine.

// Starts the service and waits until it reports running; true when it did. A service that is
// already running cannot be started again and answers false.
bool StartServiceAndWait(const std::string& machine, const std::string& service,
                         DWORD boundMs = kServiceWaitBoundMs);
// Asks the service to stop and waits until it reports stopped; true when it did (a service that
// is already stopped answers true). False when the manager or the service cannot be opened or
// the stop request reports no state.
bool StopServiceAndWait(const std::string& machine, const std::string& service,
                        DWORD boundMs = kServiceWaitBoundMs);
// The service's current state (SERVICE_STOPPED ... SERVICE_RUNNING); SERVICE_STOPPED when it
// cannot be opened or queried.
DWORD GetServiceState(const std::string& machine, const std::string& service);
// Terminates every process whose executable file name (or whole executable text) equals
// exeName, ignoring the case of ASCII letters. True when there was none or every one of them was
// terminated.
bool KillProcessesByName(const std::string& exeName);
// Switches SeDebugPrivilege of the own process token on or off; true when the change was
// applied in full.
bool SetDebugPrivilege(bool enable);

} // namespace xqv
