// The stages of the update run that touch the database server. The run calls them at their
// places when the location holds the server part.
#pragma once

#include <string>

namespace xqv {

// Before anything is changed: are clients attached (warns, may abort).
void DisconnectCheckStage(const std::string& password);
// The database into shutdown.
void ShutdownStage(const std::string& password);
// Service stop, free-space check, service start; errorText is emptied first and collects the
// errors of its own cleanup.
void ServiceCycleStage(const std::string& password, std::string& errorText);
// The migration script.
void ServerScriptStage(const std::string& password);
// The database back online, also after a failure; its error carries errorText with the
// online failure appended.
void OnlineStage(const std::string& password, std::string& errorText);

} // namespace xqv
