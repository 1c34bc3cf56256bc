// The stages of the update run that touch the database server. The run calls them at their
// places when the location holds the server part; all of them work on the update context and
// the program-wide FbServParams.
#pragma once

#include <string>

namespace xqv {

// Before anything is changed: a server part needs a Firebird service this machine registers.
// Without one the service cycle could only fail, after the clients had been cut off and the
// database shut down for nothing; the run is refused instead.
void CheckServerRegistered();
// Before anything is changed: are clients attached? A super server names them and asks only
// when there are any; any other server always gets the general warning. No ends the run with a
// silent abort.
void DisconnectCheckStage(const std::string& password);
// The database into shutdown; a refusal (also: already shut down) is one error with the server's
// message at its end, and nothing has changed.
void ShutdownStage(const std::string& password);
// Service stop, free-space check with the server down, service start. errorText is emptied first;
// on any failure the database is brought back online at once (or the user is shown how) and the
// error carries errorText.
void ServiceCycleStage(const std::string& password, std::string& errorText);
// The migration script this executable carries.
void ServerScriptStage(const std::string& password);
// The database back online, also after a failure of the stages before; its error carries
// errorText with the online failure appended and replaces any error in flight.
void OnlineStage(const std::string& password, std::string& errorText);

} // namespace xqv
