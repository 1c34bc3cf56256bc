#include "update.h"

#include <functional>
#include "errors.h"
#include "run_window.h"
#include "system_routines.h"

namespace xqv {

namespace {

bool IsFolder(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// "." and ".." name the folder itself and its parent; an empty name names nothing.
bool IsSelfOrParent(const std::string& name) {
    return name.empty() || name == "." || name == "..";
}

// Calls visit for every entry matching pattern, files and folders of every attribute, in the
// order the system lists them. The search is ended on every path, exceptions included.
void ForEachEntry(const std::string& pattern,
                  const std::function<void(const WIN32_FIND_DATAA&)>& visit) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    struct SearchCloser {
        HANDLE handle;
        ~SearchCloser() { FindClose(handle); }
    } closer{search};
    do {
        visit(entry);
    } while (FindNextFileA(search, &entry));
}

// Creates path and every missing folder above it; true when path exists afterwards.
bool CreateFolderTree(const std::string& path) {
    const std::string folder = ExcludeTrailingBackslash(path);
    if (folder.size() < 3 || FolderExists(folder)) return true;
    const std::string parent = FolderPart(folder);
    if (parent == folder) return true;
    if (!parent.empty() && !CreateFolderTree(parent)) return false;
    return CreateDirectoryA(folder.c_str(), nullptr) != 0;
}

void CopyTree(const std::string& sourceFolder, const std::string& destFolder,
              std::vector<std::string>& notCopied) {
    const std::string source = IncludeTrailingBackslash(sourceFolder);
    const std::string dest = IncludeTrailingBackslash(destFolder);
    if (!FolderExists(source)) throw Error("Папка " + source + " не существует!");
    if (!CreateFolderTree(dest)) throw Error("Невозможно создать папку " + dest + "!");
    ForEachEntry(source + "*", [&](const WIN32_FIND_DATAA& entry) {
        const std::string name = entry.cFileName;
        if (IsSelfOrParent(name)) return;
        if (IsFolder(entry))
            CopyTree(source + name, dest + name, notCopied);
        else if (!CopyFileOverwrite(source + name, dest + name))
            notCopied.push_back(source + name);
    });
}

} // namespace

void DeleteFolder(const std::string& folder) {
    const std::string pattern = JoinPath(folder, "*.*");
    const std::string base = pattern.substr(0, pattern.size() - 3);
    ForEachEntry(pattern, [&](const WIN32_FIND_DATAA& entry) {
        const std::string name = entry.cFileName;
        const std::string fullName = base + name;
        if (IsFolder(entry)) {
            if (!IsSelfOrParent(name)) DeleteFolder(fullName);
            return;
        }
        // Read-only files cannot be deleted; the outcome shows in the deletion below.
        SetFileAttributesA(fullName.c_str(), (entry.dwFileAttributes | FILE_ATTRIBUTE_ARCHIVE) &
                                                 ~DWORD(FILE_ATTRIBUTE_READONLY));
        if (!DeleteFileA(fullName.c_str()))
            throw Error("Невозможно удалить файл " + fullName + "!");
    });
    // A folder that cannot be removed stays, and so do its parents, without an error.
    RemoveDirectoryA(folder.c_str());
}

void CreateFolder(const std::string& folder) {
    if (!CreateDirectoryA(folder.c_str(), nullptr))
        throw Error("Невозможно создать папку " + folder + "!");
}

std::vector<std::string> CopyFolder(const std::string& source, const std::string& dest) {
    std::vector<std::string> notCopied;
    CopyTree(source, dest, notCopied);
    return notCopied;
}

void CheckFolderLocks() {
    SaveExceptionToLog("Проверка наличия блокировок каталогов/файлов");
    const std::string& location = Context.ProgramLocation;
    const std::string sibling = ExcludeTrailingBackslash(location) + "_";
    // Windows refuses the rename while anything holds a file or folder of the tree open.
    // clang-format off
    if (!MoveFileA(location.c_str(), sibling.c_str()))
        throw Error("Невозможно получить полный доступ к папке " + location + "." + "\r" + "\r" +
                    "Закройте все открытые приложения, в том числе файл-менеджеры (Total Commander, Проводник, Explorer и т.д.) и повторите обновление." + "\r" +
                    "Также проверьте, что данная программа обновления НЕ расположена в папке " + location + "." + "\r" + "\r" +
                    "Если ошибка повторяется, ПЕРЕЗАГРУЗИТЕ компьютер!");
    if (!MoveFileA(sibling.c_str(), location.c_str()))
        throw Error("Произошла критическая ошибка переименования пути к обновляемой программе! Обратитесь к разработчику.");
    // clang-format on
    SaveExceptionToLog("Завершена проверка наличия блокировок каталогов/файлов");
}

} // namespace xqv
