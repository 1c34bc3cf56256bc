// File helpers for tests, written independently of the folder operations under test.
#pragma once

#include <windows.h>
#include <cstdlib>
#include <map>
#include <vector>
#include <string>

namespace testfiles {

inline int RunUnix(const std::string& command);
inline std::string UnixPath(const std::string& path);

// Removes path, found in its folder's listing with those attributes, and everything below it.
// A folder link is removed as a link (on the Unix side: Wine would remove what it stands for),
// never followed.
inline void RemoveEntry(const std::string& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RunUnix("rm -f '" + UnixPath(path) + "'");
        return;
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name != "." && name != "..")
                RemoveEntry(path + "\\" + name, entry.dwFileAttributes);
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

// Removes path and everything below it, whatever the attributes.
inline void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA self;
    HANDLE found = FindFirstFileA(path.c_str(), &self);
    if (found == INVALID_HANDLE_VALUE) return;
    FindClose(found);
    RemoveEntry(path, self.dwFileAttributes);
}

// Creates path and its missing parents.
inline void MakeFolders(const std::string& path) {
    size_t cut = path.find_last_of('\\');
    if (cut != std::string::npos && cut > 2) MakeFolders(path.substr(0, cut));
    CreateDirectoryA(path.c_str(), nullptr);
}

// An empty folder at path, whatever was there before.
inline std::string FreshFolder(const std::string& path) {
    RemoveTree(path);
    MakeFolders(path);
    return path;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes,
                       DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

// The file's bytes; "<missing>" when it does not open.
inline std::string ReadBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

// Writes the file, creating its missing parent folders first.
inline bool WriteTree(const std::string& path, const std::string& bytes) {
    MakeFolders(path.substr(0, path.find_last_of('\\')));
    return WriteBytes(path, bytes);
}

// Every file and folder below folder: relative path (folders end in a backslash) -> bytes.
inline void Snapshot(const std::string& folder, const std::string& prefix,
                     std::map<std::string, std::string>& entries) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries[prefix + name + "\\"] = "";
            Snapshot(folder + "\\" + name, prefix + name + "\\", entries);
        } else {
            entries[prefix + name] = ReadBytes(folder + "\\" + name);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> entries;
    Snapshot(folder, "", entries);
    return entries;
}

// The names in folder, in the order the system lists them.
inline std::vector<std::string> ListNames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

// The file matching pattern (wildcards in its last part) that was written last; empty when none
// matches. Names do not tell: two starts in one second make "..._Updater.log" and
// "..._2_Updater.log".
inline std::string NewestFile(const std::string& pattern) {
    std::string newest;
    FILETIME newestTime = {};
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return newest;
    do {
        if (newest.empty() || CompareFileTime(&entry.ftLastWriteTime, &newestTime) > 0) {
            newest = entry.cFileName;
            newestTime = entry.ftLastWriteTime;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return pattern.substr(0, pattern.find_last_of('\\') + 1) + newest;
}

inline bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder of the running test program (where the helper programs are built).
inline std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\'));
}

// A Windows path (drive Z:) for a Unix path of this machine.
inline std::string FromUnixPath(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

// The Unix path of a Windows path under Wine (Wine's kernel32 tells it for the folder; the last
// name is added as it stands, so that a link is named and not what it stands for); empty
// elsewhere.
inline std::string UnixPath(const std::string& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    const size_t cut = path.find_last_of('\\');
    if (!toUnix || cut == std::string::npos) return "";
    auto wide = [](const std::string& text) {
        std::wstring w(text.size() + 1, L'\0');
        w.resize(static_cast<size_t>(
            MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &w[0], int(w.size())) - 1));
        return w;
    };
    char* folder = toUnix(wide(path.substr(0, cut + 1)).c_str());
    if (!folder) return "";
    std::string text = folder;
    HeapFree(GetProcessHeap(), 0, folder);
    const std::wstring name = wide(path.substr(cut + 1));
    std::string utf8(name.size() * 4 + 1, '\0');
    utf8.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, &utf8[0],
                                                        int(utf8.size()), nullptr, nullptr) -
                                    1));
    if (!text.empty() && text.back() != '/') text += '/';
    return text + utf8;
}

// Runs a Unix shell command of this machine and waits for it; its exit code, or -1 when it did
// not run or end within a minute. Wine starts a Unix program for a Windows program but does not
// let it wait for one, so the command reports its exit code through a file.
inline int RunUnix(const std::string& command) {
    static int runs = 0;
    MakeFolders("C:\\xqvtest");
    const std::string marker = "C:\\xqvtest\\unixrun-" + std::to_string(GetCurrentProcessId()) +
                               "-" + std::to_string(++runs) + ".rc";
    DeleteFileA(marker.c_str());
    const std::string unixMarker = UnixPath(marker);
    if (unixMarker.empty()) return -1;
    std::string quoted;
    for (char c : command + "; echo $? >'" + unixMarker + "'")
        quoted += c == '"' || c == '\\' ? "\\" + std::string(1, c) : std::string(1, c);
    std::string commandLine = "/bin/sh -c \"" + quoted + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    for (int i = 0; i < 600; ++i, Sleep(100)) {
        const std::string code = ReadBytes(marker);
        if (code == "<missing>" || code.empty() || code.back() != '\n') continue;
        DeleteFileA(marker.c_str());
        return std::atoi(code.c_str());
    }
    return -1;
}

// A Unix symbolic link at link (a Windows path) to the folder target: Windows programs under
// Wine see it as a folder link. True when it was made.
inline bool MakeFolderLink(const std::string& link, const std::string& target) {
    const std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
    return !unixLink.empty() && !unixTarget.empty() &&
           RunUnix("ln -sfn '" + unixTarget + "' '" + unixLink + "'") == 0;
}

// A helper process that holds path open with no sharing until it is ended.
class FileHolder {
public:
    explicit FileHolder(const std::string& path) {
        const std::string eventName = "xqv_srv_hold_" + std::to_string(GetCurrentProcessId());
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
        std::string commandLine =
            "\"" + ProgramFolder() + "\\srv_child.exe\" hold \"" + path + "\" " + eventName;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &process)) {
            process_ = process.hProcess;
            CloseHandle(process.hThread);
            HANDLE waitFor[] = {ready, process_};
            held_ = WaitForMultipleObjects(2, waitFor, FALSE, 30000) == WAIT_OBJECT_0;
        }
        CloseHandle(ready);
    }
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    ~FileHolder() {
        if (!process_) return;
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 30000);
        CloseHandle(process_);
    }
    // True once the helper has the file open.
    bool held() const { return held_; }

private:
    HANDLE process_ = nullptr;
    bool held_ = false;
};

} // namespace testfiles
