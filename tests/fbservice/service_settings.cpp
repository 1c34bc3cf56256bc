#include "service_settings.h"

namespace fbservice {

namespace {

const char* const kSettingsKey = "SOFTWARE\\XqvTest\\FbService";

std::string ReadText(HKEY key, const char* name) {
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return "";
    return buffer;
}

DWORD ReadNumber(HKEY key, const char* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0;
    return value;
}

bool WriteText(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD(text.size() + 1)) == ERROR_SUCCESS;
}

bool WriteNumber(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

} // namespace

Settings ReadSettings() {
    Settings settings;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return settings;
    settings.installation = static_cast<testenv::FbInstallation>(ReadNumber(key, "Installation"));
    settings.script = ReadText(key, "Script");
    settings.testenvDir = ReadText(key, "TestenvDir");
    settings.workerExe = ReadText(key, "WorkerExe");
    settings.behaviour.refuseStart = ReadNumber(key, "RefuseStart") != 0;
    settings.behaviour.refuseStop = ReadNumber(key, "RefuseStop") != 0;
    settings.behaviour.stuckPending = ReadNumber(key, "StuckPending") != 0;
    settings.behaviour.leftoverProcesses = int(ReadNumber(key, "LeftoverProcesses"));
    RegCloseKey(key);
    return settings;
}

bool WriteSettings(const Settings& settings) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const testenv::FbServiceBehaviour& b = settings.behaviour;
    const bool written = WriteNumber(key, "Installation", DWORD(settings.installation)) &&
                         WriteText(key, "Script", settings.script) &&
                         WriteText(key, "TestenvDir", settings.testenvDir) &&
                         WriteText(key, "WorkerExe", settings.workerExe) &&
                         WriteNumber(key, "RefuseStart", b.refuseStart) &&
                         WriteNumber(key, "RefuseStop", b.refuseStop) &&
                         WriteNumber(key, "StuckPending", b.stuckPending) &&
                         WriteNumber(key, "LeftoverProcesses", DWORD(b.leftoverProcesses));
    RegCloseKey(key);
    return written;
}

std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

} // namespace fbservice
