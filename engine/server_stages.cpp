#include "server_stages.h"

#include "errors.h"
#include "run_window.h"
#include "script_runner.h"
#include "update.h"

namespace xqv {

// The stages around the script (disconnect check, shutdown, service cycle, online switch) are
// not part of this build yet. The run refuses a location that holds the server part at the
// first of them, before anything on disk or in the database has changed, rather than update
// it half-way.
void DisconnectCheckStage(const std::string&) {
    throw Error("Обновление СЕРВЕРНОЙ части (база данных \"" + Context.DbConnectString +
                "\") этой версией программы не выполняется. Обновление не начато, ничего не "
                "изменено.");
}

void ShutdownStage(const std::string&) {}
void ServiceCycleStage(const std::string&, std::string& errorText) {
    errorText.clear();
}
void ServerScriptStage(const std::string& password) {
    SaveExceptionToLog("Обновление серверной части");
    SaveExceptionToLog("Выполненяется скрипт синхронизации структуры проекта");
    const std::string script = LoadResourceText("script", "TEXT");
    RunScriptText(Window().Profile().ClientLibraryName, Context.DbConnectString, "SYSDBA",
                  "WIN1251", password, "", script, &Window(), 1);
}
void OnlineStage(const std::string&, std::string&) {}

} // namespace xqv
