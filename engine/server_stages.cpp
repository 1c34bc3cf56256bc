#include "server_stages.h"

#include "errors.h"
#include "update.h"

namespace xqv {

// The server stages are not part of this build yet. The run refuses a location that holds the
// server part at the first of them, before anything on disk or in the database has changed,
// rather than update it half-way.
void DisconnectCheckStage(const std::string&) {
    throw Error("Обновление СЕРВЕРНОЙ части (база данных \"" + Context.DbConnectString +
                "\") этой версией программы не выполняется. Обновление не начато, ничего не "
                "изменено.");
}

void ShutdownStage(const std::string&) {}
void ServiceCycleStage(const std::string&, std::string& errorText) {
    errorText.clear();
}
void ServerScriptStage(const std::string&) {}
void OnlineStage(const std::string&, std::string&) {}

} // namespace xqv
