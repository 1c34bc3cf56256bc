#include "fb_service_setup.h"

#include <winsock2.h>
#include <windows.h>
#include <stdexcept>
#include "fb_server_script.h"
#include "service_settings.h"
#include "test_env.h"
#include "test_services.h"

namespace fbservice {

namespace {

using testenv::FbInstallation;

const std::string kBin = "C:\\xqvfb\\bin";
const char* const kServiceProgram = "xqvfbsvc.exe";
const char* const kVendorService = "VelmoraFireXBirdServer";
const char* const kServerService = "FirebirdServerDefaultInstance";
const char* const kGuardianService = "FirebirdGuardianDefaultInstance";
const char* const kServicesKey = "SYSTEM\\CurrentControlSet\\Services\\";
const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                  "Firebird 2.0 для ПО ГК \"Вельмора\"";
// Every program name an installation may use.
const std::vector<std::string> kPrograms = {"fbsrvorvl.exe", "fb_inet_srvorvl.exe", "fbguard.exe",
                                            "fbserver.exe", "fb_inet_server.exe"};
const DWORD kScriptTimeoutMs = 60000;

struct Layout {
    const char* service = nullptr;    // the service that is started and stopped
    const char* serviceExe = nullptr; // its program
    const char* serverExe = nullptr;  // the server executable discovery reports
    bool standard = false; // the standard instance: uninstall entry and the server's own service
};

Layout LayoutOf(FbInstallation kind) {
    switch (kind) {
    case FbInstallation::VendorSuper:
        return {kVendorService, "fbsrvorvl.exe", "fbsrvorvl.exe", false};
    case FbInstallation::VendorClassic:
        return {kVendorService, "fb_inet_srvorvl.exe", "fb_inet_srvorvl.exe", false};
    case FbInstallation::StandardSuper:
        return {kGuardianService, "fbguard.exe", "fbserver.exe", true};
    case FbInstallation::StandardClassic:
        return {kGuardianService, "fbguard.exe", "fb_inet_server.exe", true};
    default:
        return {};
    }
}

std::string PortText() {
    const std::string port = testenv::FbPort();
    return port.empty() ? "3051" : port;
}

// The ImagePath of the service that names the server executable (the maker's service, or the
// standard instance's server service).
std::string ServerImagePath(const Layout& layout) {
    return kBin + "\\" + layout.serverExe + (layout.standard ? " -s DefaultInstance" : "") +
           " -p " + PortText();
}

std::string GuardianImagePath() {
    return kBin + "\\fbguard.exe -s DefaultInstance";
}

// What the test environment tells a program through its environment (ctest and
// testenv/wine-run.sh set it).
Settings FreshSettings(FbInstallation kind) {
    const std::string source = testenv::Value("XQV_SOURCE_DIR");
    Settings settings;
    settings.installation = kind;
    settings.testenvDir = testenv::Dir();
    if (source.empty() || settings.testenvDir.empty())
        throw std::runtime_error("XQV_SOURCE_DIR and XQV_TESTENV_DIR do not name the test "
                                 "environment: run under ctest or testenv/wine-run.sh");
    settings.script = source + "/testenv/fb-server.sh";
    if (kind != FbInstallation::None) settings.workerExe = kBin + "\\" + LayoutOf(kind).serverExe;
    return settings;
}

// Writes the settings and waits until every running test service has taken in whether it is to
// refuse stop requests (it then stops accepting the stop control).
void Write(const Settings& settings) {
    if (!WriteSettings(settings)) throw std::runtime_error("cannot write the service settings");
    const DWORD wanted = settings.behaviour.refuseStop ? 0 : SERVICE_ACCEPT_STOP;
    for (const char* service : {kVendorService, kGuardianService, kServerService}) {
        const ULONGLONG begin = GetTickCount64();
        for (ServiceInfo info = QueryService(service);
             info.state == SERVICE_RUNNING &&
             (info.controlsAccepted & SERVICE_ACCEPT_STOP) != wanted;
             info = QueryService(service)) {
            if (GetTickCount64() - begin > 10000)
                throw std::runtime_error(std::string(service) + " does not follow its settings");
            Sleep(20);
        }
    }
}

std::string ReadImagePath(const std::string& service) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kServicesKey + service).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return "";
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    RegQueryValueExA(key, "ImagePath", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return buffer;
}

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The registry still says what discovery is to find: other tests rewrite these keys.
bool RegistryIntact(FbInstallation kind) {
    const Layout layout = LayoutOf(kind);
    if (!layout.service) return true;
    if (!layout.standard) return ReadImagePath(kVendorService) == ServerImagePath(layout);
    return KeyExists(kUninstallKey) && ReadImagePath(kServerService) == ServerImagePath(layout) &&
           ReadImagePath(kGuardianService) == GuardianImagePath();
}

void EnsureServerRunning(const Settings& settings) {
    if (ServerListening()) return;
    const ScriptResult result = RunFbServerScript(settings, "start", kScriptTimeoutMs);
    if (result.exitCode != 0 || !ServerListening())
        throw std::runtime_error("the private Firebird server does not start: " + result.output);
}

// The test service's program as built, beside the running program.
std::string ServiceProgram() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path = self;
    return path.substr(0, path.find_last_of('\\') + 1) + kServiceProgram;
}

// The installed copy is the program as built now (a copy keeps size and time).
bool ProgramCurrent(const std::string& name) {
    WIN32_FILE_ATTRIBUTE_DATA built = {}, installed = {};
    return GetFileAttributesExA(ServiceProgram().c_str(), GetFileExInfoStandard, &built) &&
           GetFileAttributesExA((kBin + "\\" + name).c_str(), GetFileExInfoStandard, &installed) &&
           built.nFileSizeLow == installed.nFileSizeLow &&
           CompareFileTime(&built.ftLastWriteTime, &installed.ftLastWriteTime) == 0;
}

void CopyProgram(const std::string& name) {
    const std::string source = ServiceProgram();
    const std::string target = kBin + "\\" + name;
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + source + " to " + target + " (error " +
                                 std::to_string(GetLastError()) + ")");
}

// Takes down every installation: services, registry entries, programs, leftover processes.
void RemoveEverything() {
    for (const char* service : {kVendorService, kGuardianService, kServerService}) {
        RemoveTestService(service);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kServicesKey) + service).c_str());
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
    KillProcessesNamed(kPrograms);
    for (const std::string& name : kPrograms)
        DeleteFileA((kBin + "\\" + name).c_str());
}

void Register(FbInstallation kind) {
    const Layout layout = LayoutOf(kind);
    CreateDirectoryA("C:\\xqvfb", nullptr);
    CreateDirectoryA(kBin.c_str(), nullptr);
    CopyProgram(layout.serverExe);
    if (!layout.standard) {
        CreateTestService(kVendorService, ServerImagePath(layout));
        return;
    }
    CopyProgram(layout.serviceExe);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the uninstall entry");
    const char name[] = "Firebird 2.0";
    RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
    RegCloseKey(key);
    // The server's own service only tells discovery the executable; the guardian is what runs.
    CreateTestService(kServerService, ServerImagePath(layout));
    CreateTestService(kGuardianService, GuardianImagePath());
}

} // namespace

void Install(FbInstallation kind) {
    const Settings previous = ReadSettings();
    const Settings settings = FreshSettings(kind);
    const Layout layout = LayoutOf(kind);
    const testenv::FbServiceBehaviour usual;
    const bool unchanged = previous.installation == kind && RegistryIntact(kind) &&
                           previous.behaviour.refuseStart == usual.refuseStart &&
                           previous.behaviour.stuckPending == usual.stuckPending;
    if (unchanged &&
        (!layout.service || (ProgramCurrent(layout.serviceExe) &&
                             QueryService(layout.service).state == SERVICE_RUNNING)) &&
        ServerListening()) {
        // Already laid out and running: only leftover processes may remain.
        Write(settings);
        KillProcessesNamed(kPrograms, layout.service ? QueryService(layout.service).processId : 0);
        return;
    }
    // The services being removed read these settings at their stop: they stop as usual.
    Write(settings);
    RemoveEverything();
    if (layout.service) {
        Register(kind);
        StartTestService(layout.service);
    }
    EnsureServerRunning(settings);
}

void Restore() {
    Settings settings = ReadSettings();
    const Layout layout = LayoutOf(settings.installation);
    if (settings.script.empty() || !RegistryIntact(settings.installation) ||
        (layout.service && QueryService(layout.service).state == 0)) {
        Install(settings.installation);
        return;
    }
    settings.behaviour = testenv::FbServiceBehaviour();
    Write(settings);
    if (layout.service) {
        const DWORD state = QueryService(layout.service).state;
        // Stuck in a pending state: only ending its process gets it out.
        if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING)
            EndServiceProcess(layout.service);
        KillProcessesNamed(kPrograms, QueryService(layout.service).processId);
        if (QueryService(layout.service).state != SERVICE_RUNNING) StartTestService(layout.service);
    } else {
        KillProcessesNamed(kPrograms);
    }
    EnsureServerRunning(settings);
}

void SetBehaviour(const testenv::FbServiceBehaviour& behaviour) {
    Settings settings = ReadSettings();
    settings.behaviour = behaviour;
    Write(settings);
}

std::string ServerExePath() {
    const Layout layout = LayoutOf(ReadSettings().installation);
    return layout.serverExe ? kBin + "\\" + layout.serverExe : "";
}

bool ServerListening() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) return false;
    const std::string host = testenv::FbHost().empty() ? "127.0.0.1" : testenv::FbHost();
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (probe == INVALID_SOCKET) return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::stoi(PortText())));
    address.sin_addr.s_addr = inet_addr(host.c_str());
    const bool connected =
        connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    closesocket(probe);
    return connected;
}

} // namespace fbservice
