// File helpers for tests, written independently of the folder operations under test.
#pragma once

#include <windows.h>
#include <map>
#include <vector>
#include <string>

namespace testfiles {

// Removes path and everything below it, whatever the attributes.
inline void RemoveTree(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
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
            if (name != "." && name != "..") RemoveTree(path + "\\" + name);
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
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
