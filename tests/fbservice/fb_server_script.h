// Runs testenv/fb-server.sh from a Windows program. Wine starts a Unix program without waiting
// for it and reports exit code 0 at once, so the script writes its exit code to a result file
// named on its command line, and the caller waits for that file.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include "service_settings.h"

namespace fbservice {

struct ScriptResult {
    int exitCode = -1;  // -1: not started, or no result within the time allowed
    std::string output; // what the script wrote, for error messages
};

// Runs "fb-server.sh action" and waits at most timeoutMs; onTick is called about every 100 ms
// meanwhile (the service reports its progress there).
ScriptResult RunFbServerScript(const Settings& settings, const std::string& action, DWORD timeoutMs,
                               const std::function<void()>& onTick = {});

} // namespace fbservice
