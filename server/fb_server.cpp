#include "fb_server.h"

#include <windows.h>
#include "errors.h"
#include "system_routines.h"

namespace xqv {

TFBServParams FbServParams;
const char* const kVendorServiceName = "VelmoraFireXBirdServer";
const char* const kGuardianServiceName = "FirebirdGuardianDefaultInstance";

namespace {

// clang-format off
const char* const kVendorServiceKey = "\\SYSTEM\\CurrentControlSet\\Services\\VelmoraFireXBirdServer";
const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Firebird 2.0 для ПО ГК \"Вельмора\"";
const char* const kStandardServerKey = "SYSTEM\\CurrentControlSet\\Services\\FirebirdServerDefaultInstance";
const char* const kDefaultConnectPrefix = "localhost/3051:";

const char* const kTypeUnknown = "Тип сервера FB определить не удалось.";
const char* const kServiceDamaged = "Сервис FireBird поврежден или не адаптирован для ПО ГК \"Вельмора\". Обновление прервано.";
const char* const kInvalidDataType = "Invalid data type for '%s'";
const char* const kWrongValueType = "Параметр \"%s\" службы FireBird в реестре имеет неверный тип данных";
// clang-format on

// A key under HKEY_LOCAL_MACHINE, closed when the object goes. A leading backslash in the path
// means the same as none (paths are always taken from the root).
class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { Close(); }

    bool Open(const std::string& path, REGSAM access) {
        Close();
        const char* relative = path.c_str() + (!path.empty() && path[0] == '\\' ? 1 : 0);
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, relative, 0, access, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
        return key_ != nullptr;
    }
    void Close() {
        if (key_) RegCloseKey(key_);
        key_ = nullptr;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool KeyExists(const std::string& path) {
    RegKey key;
    return key.Open(path, MAXIMUM_ALLOWED);
}

std::string ReplacePlaceholder(std::string pattern, const std::string& value) {
    size_t at = pattern.find("%s");
    if (at != std::string::npos) pattern.replace(at, 2, value);
    return pattern;
}

// A text value read as it is stored (no expansion); a missing value reads as empty text.
std::string ReadString(const RegKey& key, const char* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return "";
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        // The administrator reads Russian; the platform's text stays for whoever searches it.
        throw Error(ReplacePlaceholder(kWrongValueType, name) + " (" +
                    ReplacePlaceholder(kInvalidDataType, name) + "). Обновление прервано.");
    std::string text(size, '\0');
    if (size > 0 && RegQueryValueExA(key.get(), name, nullptr, &type,
                                     reinterpret_cast<BYTE*>(&text[0]), &size) != ERROR_SUCCESS)
        return "";
    text.resize(size);
    size_t end = text.find('\0');
    return end == std::string::npos ? text : text.substr(0, end);
}

// Only the ASCII letters change.
std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

// Sets the type and executable from the executable names found in the image path; when both
// occur, the classic server wins.
void RecogniseServer(const std::string& imagePath, const char* superExe, const char* classicExe,
                     TFBServParams& params) {
    const std::string upper = UpperAscii(imagePath);
    if (upper.find(superExe) != std::string::npos) {
        params.ServerType = "SUPER";
        params.ServerExe = superExe;
    }
    if (upper.find(classicExe) != std::string::npos) {
        params.ServerType = "CLASSIC";
        params.ServerExe = classicExe;
    }
    if (params.ServerType.empty()) throw Error(kTypeUnknown);
}

// The executable's path in an image path: the text inside the quotes when the path is quoted
// (as it is when it holds blanks), otherwise the whole text.
std::string ExecutablePathOf(const std::string& imagePath) {
    if (imagePath.empty() || imagePath[0] != '"') return imagePath;
    const size_t closing = imagePath.find('"', 1);
    return imagePath.substr(1, closing == std::string::npos ? std::string::npos : closing - 1);
}

// The executable's path up to and including the backslash in front of the first "\bin\" (letter
// case as written); empty when there is none.
std::string ServerRootOf(const std::string& imagePath) {
    const std::string path = ExecutablePathOf(imagePath);
    size_t at = path.find("\\bin\\");
    return at == std::string::npos ? "" : path.substr(0, at + 1);
}

// The port after the first "-p ": leading blanks and control characters skipped, cut at the
// next blank.
std::string PortTextOf(const std::string& imagePath, size_t optionAt) {
    size_t start = optionAt + 2;
    while (start < imagePath.size() && static_cast<unsigned char>(imagePath[start]) <= 32)
        ++start;
    size_t end = imagePath.find(' ', start);
    return imagePath.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string ConnectPrefixOf(const std::string& imagePath) {
    size_t option = imagePath.find("-p ");
    if (option == std::string::npos) return kDefaultConnectPrefix;
    return "localhost/" + PortTextOf(imagePath, option) + ":";
}

} // namespace

void DetectFbServer(TFBServParams& params) {
    params.ServerType.clear();

    RegKey key;
    if (KeyExists(kVendorServiceKey) && key.Open(kVendorServiceKey, KEY_READ)) {
        params.ServiceName = kVendorServiceName;
        const std::string imagePath = ReadString(key, "ImagePath");
        RecogniseServer(imagePath, "FBSRVORVL.EXE", "FB_INET_SRVORVL.EXE", params);
        params.ServerRoot = ServerRootOf(imagePath);
        if (!FolderExists(params.ServerRoot)) throw Error(kServiceDamaged);
        params.ConnectPrefix = ConnectPrefixOf(imagePath);
        return;
    }

    if (!KeyExists(kUninstallKey)) return;
    // The uninstall entry only marks the maker's distribution; nothing is read from it.
    if (!key.Open(kUninstallKey, KEY_READ)) throw Error(kServiceDamaged);
    key.Close();

    if (!key.Open(kStandardServerKey, KEY_READ)) return;
    // The server's key tells the executable; stopping and starting act on the guardian.
    params.ServiceName = kGuardianServiceName;
    const std::string imagePath = ReadString(key, "ImagePath");
    RecogniseServer(imagePath, "FBSERVER.EXE", "FB_INET_SERVER.EXE", params);
    params.ServerRoot = ServerRootOf(imagePath);
    params.ConnectPrefix = ConnectPrefixOf(imagePath);
}

} // namespace xqv
