#include "system_routines.h"

#include <windows.h>
#include <vector>

namespace xqv {

std::string JoinPath(const std::string& folder, const std::string& name) {
    return IncludeTrailingBackslash(folder) + name;
}

std::string IncludeTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '\\') return path;
    return path + '\\';
}

std::string ExcludeTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
    return path;
}

std::string ExpandPath(const std::string& path) {
    if (path.empty()) return path;
    DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return "";
    std::vector<char> buffer(size + 1);
    DWORD length = GetFullPathNameA(path.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) return "";
    return std::string(buffer.data(), length);
}

std::string DrivePart(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        // Up to the backslash that ends the share name, or the whole path when none does.
        size_t serverEnd = path.find('\\', 2);
        if (serverEnd == std::string::npos) return path;
        size_t shareEnd = path.find('\\', serverEnd + 1);
        return shareEnd == std::string::npos ? path : path.substr(0, shareEnd);
    }
    return "";
}

bool IsNetworkPath(const std::string& path) {
    if (path.size() < 3 || path[0] != '\\' || path[1] != '\\') return false;
    return path.compare(0, 4, "\\\\?\\") != 0 && path.compare(0, 4, "\\\\.\\") != 0;
}

std::string FolderPart(const std::string& path) {
    size_t cut = path.find_last_of("\\:");
    if (cut == std::string::npos) return "";
    // Keep the backslash of a root ("C:\", "\\") but drop any other one.
    if (path[cut] == '\\' && cut > 0 && path[cut - 1] != '\\' && path[cut - 1] != ':')
        return path.substr(0, cut);
    return path.substr(0, cut + 1);
}

bool FolderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace xqv
