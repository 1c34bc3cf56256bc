#include "update.h"

#include "errors.h"
#include "system_routines.h"

namespace xqv {

namespace {

std::string ReplacePlaceholder(std::string pattern, const std::string& value) {
    size_t at = pattern.find("%s");
    if (at != std::string::npos) pattern.replace(at, 2, value);
    return pattern;
}

// Writes the bytes of the "EXEFILE" resource name into path; the errors carry the platform's
// texts for a missing resource, a file that cannot be created and a failed write.
void SaveResource(const std::string& name, const std::string& path) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, name.c_str(), "EXEFILE");
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) throw Error(ReplacePlaceholder("Resource %s not found", name));
    const DWORD size = SizeofResource(module, info);

    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw Error(ReplacePlaceholder("Cannot create file %s", path));
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, size, &written, nullptr) && written == size;
    const bool closed = CloseHandle(file) != 0;
    if (!ok || !closed) throw Error("Stream write error");
}

} // namespace

void ExtractResourceToFile(const std::string& fileName, const std::string& resourceName) {
    const std::string path = ExpandPath(fileName);
    const std::string name = resourceName.empty() ? "files" : resourceName;
    try {
        SaveResource(name, path);
    } catch (const Error& error) {
        throw Error("Ошибка работы с ресурсом \"" + name + "\"!" + "\r" + error.Message());
    }
}

std::string LoadResourceBytes(const std::string& resourceName, const std::string& resourceType) {
    // Resources of the own module stay mapped as long as the module: nothing to unlock or free.
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, resourceName.c_str(), resourceType.c_str());
    if (!info) throw Error("Не найден ресурс \"" + resourceName + "\"!");
    HGLOBAL loaded = LoadResource(module, info);
    if (!loaded) throw Error("Невозможно загрузить ресурс \"" + resourceName + "\"!");
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    if (!bytes) throw Error("Невозможно заблокировать ресурс \"" + resourceName + "\"!");
    return std::string(bytes, SizeofResource(module, info));
}

std::string LoadResourceText(const std::string& resourceName, const std::string& resourceType) {
    const std::string bytes = LoadResourceBytes(resourceName, resourceType);
    return bytes.substr(0, bytes.find('\0'));
}

void UnpackPayload(const std::string& folder) {
    const std::string payload = JoinPath(folder, "files.exe");
    ExtractResourceToFile(payload, "");
    RunAndWait(payload, "", SW_SHOWNORMAL);
}

} // namespace xqv
