#include "db_services.h"

#include <chrono>
#include <thread>
#include "errors.h"
#include "fb_client.h"

namespace xqv {

namespace {

void AppendInt32(std::string& buffer, unsigned value) {
    for (int i = 0; i < 4; ++i)
        buffer += static_cast<char>((value >> (8 * i)) & 0xff);
}

// The action byte and the database path item.
std::string PropertiesRequest(const std::string& path) {
    // The whole request must fit the 16-bit length of isc_service_start.
    if (path.size() > 0xFFFF - 16) throw Error("Путь к базе данных слишком длинный!");
    std::string request(1, isc_action_svc_properties);
    if (!path.empty()) {
        request += static_cast<char>(isc_spb_dbname);
        request += static_cast<char>(path.size() & 0xff);
        request += static_cast<char>(path.size() >> 8);
        request += path;
    }
    return request;
}

void SendRequest(const std::string& clientLibrary, const std::string& database,
                 const std::string& userName, const std::string& password, bool shutdown) {
    CheckDbParams(clientLibrary, database, userName, password);
    const DbLocation location = SplitDatabaseString(database);
    const std::string spb = BuildServiceSpb(userName, password);
    const std::string request =
        shutdown ? BuildShutdownRequest(location.path) : BuildOnlineRequest(location.path);
    auto client = fb::SharedClientLibrary(clientLibrary);
    const std::string serviceName = ServiceManagerName(location);

    fb::ServiceAttachment service(client);
    service.Attach(serviceName, spb);
    service.Start(request);
    // The server finishes the shutdown in the background; give it time before anyone goes on.
    if (shutdown) std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    // The owner detaches as it goes, here and on every error above.
}

} // namespace

std::string ServiceManagerName(const DbLocation& location) {
    if (location.protocol == DbProtocol::Local) return "service_mgr";
    if (location.server.empty()) throw Error("В строке подключения к базе данных не задан сервер!");
    return location.server + ":service_mgr";
}

std::string BuildServiceSpb(const std::string& userName, const std::string& password) {
    std::string spb;
    spb += static_cast<char>(isc_spb_version);
    spb += static_cast<char>(isc_spb_current_version);
    AppendShortItem(spb, isc_spb_user_name, userName, kUserNameTooLong);
    AppendShortItem(spb, isc_spb_password, password, kPasswordTooLong);
    return spb;
}

std::string BuildShutdownRequest(const std::string& path) {
    std::string request = PropertiesRequest(path);
    request += static_cast<char>(isc_spb_prp_shutdown_db);
    AppendInt32(request, 1);
    return request;
}

std::string BuildOnlineRequest(const std::string& path) {
    std::string request = PropertiesRequest(path);
    request += static_cast<char>(isc_spb_options);
    AppendInt32(request, isc_spb_prp_db_online);
    return request;
}

void ShutdownDatabase(const std::string& clientLibrary, const std::string& database,
                      const std::string& userName, const std::string& password) {
    SendRequest(clientLibrary, database, userName, password, true);
}

void BringDatabaseOnline(const std::string& clientLibrary, const std::string& database,
                         const std::string& userName, const std::string& password) {
    SendRequest(clientLibrary, database, userName, password, false);
}

} // namespace xqv
