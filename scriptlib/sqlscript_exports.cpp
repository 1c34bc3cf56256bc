// The library's exports: thin C shells over the one ScriptSession. Nothing may escape them as
// an exception; a failure that is not the script's own is reported like any other.
#include <fstream>
#include <sstream>
#include "script_session.h"

#if defined(_WIN32)
#define XQV_SQLSCRIPT_EXPORT
#else
#define XQV_SQLSCRIPT_EXPORT __attribute__((visibility("default")))
#endif

namespace {

using xqv::script::LibrarySession;
using xqv::script::RunCallbacks;

int32_t ReportRunFailure(const RunCallbacks& callbacks, const char* statement, const char* error) {
    if (callbacks.onError) callbacks.onError(statement, error);
    if (callbacks.onCode) callbacks.onCode(0, -1);
    return 1;
}

int32_t RunGuarded(const RunCallbacks& callbacks, const char* statement,
                   const std::string& script) {
    try {
        return LibrarySession().Run(script, callbacks);
    } catch (const std::exception& e) {
        LibrarySession().Close();
        return ReportRunFailure(callbacks, statement, e.what());
    }
}

} // namespace

extern "C" {

XQV_SQLSCRIPT_EXPORT int32_t XQV_STDCALL Connect(const char* params,
                                                 SqlConnectErrorCallback onConnectError) {
    std::string error;
    try {
        if (LibrarySession().Connect(params ? params : "", error)) return 0;
    } catch (const std::exception& e) {
        LibrarySession().Close();
        error = e.what();
    }
    if (onConnectError) onConnectError(error.c_str());
    return 1;
}

XQV_SQLSCRIPT_EXPORT int32_t XQV_STDCALL ExecScriptText(const char* script,
                                                        SqlScriptErrorCallback onError,
                                                        SqlScriptTextCallback onText,
                                                        SqlScriptCodeCallback onCode) {
    const RunCallbacks callbacks{onError, onText, onCode};
    return RunGuarded(callbacks, "", script ? script : "");
}

XQV_SQLSCRIPT_EXPORT int32_t XQV_STDCALL ExecScriptFile(const char* path,
                                                        SqlScriptErrorCallback onError,
                                                        SqlScriptTextCallback onText,
                                                        SqlScriptCodeCallback onCode) {
    const RunCallbacks callbacks{onError, onText, onCode};
    std::ifstream file(path ? path : "", std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) {
        LibrarySession().Close();
        return ReportRunFailure(callbacks, path ? path : "", "Невозможно прочитать файл скрипта!");
    }
    return RunGuarded(callbacks, path, text.str());
}

} // extern "C"
