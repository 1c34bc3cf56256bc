#include "system_routines.h"

#include <windows.h>
#include <vector>
#include "errors.h"
#include "run_window.h"
#include "win_handle.h"

namespace xqv {

uint32_t RunAndWait(const std::string& program, const std::string& parameters, int showMode) {
    const std::string path = ExpandPath(program);
    // Quoted, so that a path with blanks cannot start another program (C:\Program.exe for
    // C:\Program Files\...).
    const std::string commandLine = "\"" + path + "\"" + parameters;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    const std::string folder = FolderPart(path);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showMode & 0xFFFF);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        throw Error("Невозможно запустить внешнюю программу!");
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);

    ProcessMessages();
    WaitForSingleObject(processHandle.get(), INFINITE);
    ProcessMessages();
    DWORD exitCode = 0;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    return exitCode;
}

int32_t GetFileSizeScaled(const std::string& path, uint8_t shift) {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return -1;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) return -1;
    const uint64_t scaled = shift >= 64 ? 0 : uint64_t(size.QuadPart) >> shift;
    return static_cast<int32_t>(static_cast<uint32_t>(scaled));
}

int32_t GetListedFileSizeScaled(const std::string& path, uint8_t shift) {
    WIN32_FILE_ATTRIBUTE_DATA entry = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &entry) ||
        (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    const uint64_t size = (uint64_t(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    const uint64_t scaled = shift >= 64 ? 0 : size >> shift;
    return static_cast<int32_t>(static_cast<uint32_t>(scaled));
}

void CheckFreeSize(const std::string& path, const std::string& driveRoot, uint8_t factor) {
    ProcessMessages();
    const int32_t sizeMb = GetFileSizeScaled(path, 20);
    if (sizeMb == -1) throw Error("");
    CheckFreeSizeFor(sizeMb, driveRoot, factor);
}

void CheckFreeSizeFor(int32_t sizeMb, const std::string& driveRoot, uint8_t factor) {
    // 64-bit, so that a huge file cannot wrap the requirement round to a small number.
    const int64_t requiredMb = int64_t(sizeMb) * factor;

    ULARGE_INTEGER available = {}, total = {}, totalFree = {};
    if (!GetDiskFreeSpaceExA(driveRoot.c_str(), &available, &total, &totalFree))
        throw Error("Невозможно определить размер свободного места на диске \"" + driveRoot +
                    "\"!");
    const int64_t freeMb = int64_t(totalFree.QuadPart >> 20);
    // clang-format off
    if (!FreeSpaceSuffices(freeMb, requiredMb))
        throw Error("Для записи файла на диск \"" + driveRoot + "\"требуется не менее " + std::to_string(requiredMb) + " МБ свободного места!");
    // clang-format on
}

bool CopyFileOverwrite(const std::string& source, const std::string& target) {
    DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(target.c_str(),
                           attributes & ~DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

std::string GetWindowsFolder() {
    char buffer[256] = {};
    UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
    // A result beyond the buffer means the folder did not fit: no text to return.
    if (length == 0 || length >= sizeof buffer)
        throw Error("Невозможно определить путь к папке Windows!");
    return IncludeTrailingBackslash(buffer);
}

std::string IntToTwoDigits(int n) {
    const std::string text = std::to_string(n);
    if (text.size() == 1) return "0" + text;
    return text.substr(text.size() - 2);
}

} // namespace xqv
