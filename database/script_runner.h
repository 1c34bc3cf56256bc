// The script runner: runs a migration script through the script library (SqlScript.dll),
// loaded for each run from the program's folder first, and turns what the library reports
// into log view lines and one error for the caller.
#pragma once

#include <string>
#include "run_window.h"

namespace xqv {

// Checks the parameters and the script, loads the library, connects with the connect
// parameter string and runs the script: its text (isText) or the file at that path. logView
// receives the statements and the failure blocks (none: nullptr). Log mode 1 (verbose) stops
// at the first failing statement and raises "Ошибка применения скрипта!" with the failure;
// log mode 0 (quiet) goes on and raises nothing for failing statements. Raises xqv::Error for
// every other failure; the library is unloaded on every path once loaded.
void ExecScript(bool isText, const std::string& clientLibrary, const std::string& database,
                const std::string& userName, const std::string& charSet,
                const std::string& password, const std::string& roleName, const std::string& script,
                RunWindow* logView, int logMode);

// ExecScript for a script given as text.
void RunScriptText(const std::string& clientLibrary, const std::string& database,
                   const std::string& userName, const std::string& charSet,
                   const std::string& password, const std::string& roleName,
                   const std::string& scriptText, RunWindow* logView, int logMode);

// Loads the script library as ExecScript does and finds its three entry points (Connect,
// ExecScriptText, ExecScriptFile); raises ExecScript's own error for the first that fails. The
// library is unloaded again; nothing is connected or run.
void CheckScriptLibrary();

// True when statement is a release check: it calls the database's version check procedure
// ("execute procedure check_versio(" in any letter case).
bool IsReleaseCheck(const std::string& statement);

// How a failing statement is reported: the statement block, the error block, and in front of a
// failed release check the version-mismatch note.
std::string ScriptFailureText(const std::string& statement, const std::string& error);

// The connect parameter string: the values inserted as they are, without escaping.
std::string ScriptConnectParams(const std::string& clientLibrary, const std::string& database,
                                const std::string& userName, const std::string& charSet,
                                const std::string& password, const std::string& roleName);

} // namespace xqv
