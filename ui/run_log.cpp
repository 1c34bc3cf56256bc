#include "run_log.h"

#include <vector>
#include "errors.h"
#include "system_routines.h"
#include "win_handle.h"

namespace xqv {

std::string LogFileName(const std::string& exeFolder, const SYSTEMTIME& now, int number) {
    return exeFolder + "\\Logs\\" + IntToTwoDigits(now.wDay) + IntToTwoDigits(now.wMonth) +
           IntToTwoDigits(now.wYear) + "-" + IntToTwoDigits(now.wHour) +
           IntToTwoDigits(now.wMinute) + IntToTwoDigits(now.wSecond) +
           (number > 1 ? "_" + std::to_string(number) : "") + "_Updater.log";
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
    case ERROR_FILE_EXISTS:
        return "File exists";
    case ERROR_PATH_NOT_FOUND:
        return "Path not found";
    default:
        return "I/O error " + std::to_string(code);
    }
}

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

std::string CreateLogFile(const std::string& exeFolder, const SYSTEMTIME& now) {
    CreateFolderTree(exeFolder + "\\Logs");
    // Created only where no file is yet, so that a second start within the same second never
    // empties the log of the first, which may still be writing to it.
    for (int number = 1; number <= kMaxLogFilesPerSecond; ++number) {
        const std::string fileName = LogFileName(exeFolder, now, number);
        Handle file(CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            throw InOutError(IoErrorText(GetLastError()));
        }
        if (!file.Close()) throw InOutError(IoErrorText(GetLastError()));
        return fileName;
    }
    throw InOutError(IoErrorText(ERROR_FILE_EXISTS));
}

std::string TimeStampedLine(const std::string& text) {
    return FormattedNow(true) + " - " + FormattedNow(false) + ": " + text;
}

void AppendLogEntry(const std::string& fileName, const std::string& line) {
    Handle file(CreateFileA(fileName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) throw InOutError(IoErrorText(GetLastError()));
    const std::string bytes = "\r" + line + "\r\n";
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throw InOutError(IoErrorText(GetLastError()));
    if (written != bytes.size()) throw InOutError(IoErrorText(ERROR_DISK_FULL));
    if (!file.Close()) throw InOutError(IoErrorText(GetLastError()));
}

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

} // namespace xqv
