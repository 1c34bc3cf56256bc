#include "run_log.h"

#include <vector>
#include "errors.h"
#include "system_routines.h"

namespace xqv {

std::string LogFileName(const std::string& exeFolder, const SYSTEMTIME& now) {
    return exeFolder + "\\Logs\\" + IntToTwoDigits(now.wDay) + IntToTwoDigits(now.wMonth) +
           IntToTwoDigits(now.wYear) + "-" + IntToTwoDigits(now.wHour) +
           IntToTwoDigits(now.wMinute) + IntToTwoDigits(now.wSecond) + "_Updater.log";
}

namespace {

// The runtime's text for a failed file operation.
std::string IoErrorText(DWORD code) {
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return "File access denied";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return "Disk full";
    case ERROR_FILE_NOT_FOUND:
        return "File not found";
    case ERROR_PATH_NOT_FOUND:
        return "Path not found";
    default:
        return "I/O error " + std::to_string(code);
    }
}

struct FileHandle {
    HANDLE h;
    explicit FileHandle(HANDLE handle) : h(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    // Closes now, reporting whether the close (and so the last write) succeeded.
    bool Close() {
        HANDLE handle = h;
        h = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }
};

void CreateFolderTree(const std::string& folder) {
    if (GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    const size_t slash = folder.find_last_of('\\');
    if (slash != std::string::npos && slash > 2) CreateFolderTree(folder.substr(0, slash));
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw InOutError(IoErrorText(GetLastError()));
}

std::string FormattedNow(bool date) {
    char text[128] = {};
    const int n = date
                      ? GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text,
                                       sizeof text)
                      : GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, sizeof text);
    return n > 0 ? text : "";
}

} // namespace

void CreateLogFile(const std::string& exeFolder, const std::string& fileName) {
    CreateFolderTree(exeFolder + "\\Logs");
    FileHandle file(CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) throw InOutError(IoErrorText(GetLastError()));
    if (!file.Close()) throw InOutError(IoErrorText(GetLastError()));
}

std::string TimeStampedLine(const std::string& text) {
    return FormattedNow(true) + " - " + FormattedNow(false) + ": " + text;
}

void AppendLogEntry(const std::string& fileName, const std::string& line) {
    FileHandle file(CreateFileA(fileName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) throw InOutError(IoErrorText(GetLastError()));
    const std::string bytes = "\r" + line + "\r\n";
    DWORD written = 0;
    if (!WriteFile(file.h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throw InOutError(IoErrorText(GetLastError()));
    if (written != bytes.size()) throw InOutError(IoErrorText(ERROR_DISK_FULL));
    if (!file.Close()) throw InOutError(IoErrorText(GetLastError()));
}

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

} // namespace xqv
