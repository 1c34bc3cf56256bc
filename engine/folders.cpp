#include "update.h"

#include <functional>
#include "errors.h"
#include "fault_point.h"
#include "run_window.h"
#include "system_routines.h"
#include "win_handle.h"

namespace xqv {

namespace {

bool IsFolder(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A junction or folder symbolic link: a folder entry that stands for another folder. Going
// into it would reach outside the tree (or round in a circle), so no operation here does.
bool IsFolderLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Removes the link itself, never what it stands for: only when the object opened without
// following links is itself the link is it deleted. A system that opens the target anyway
// (Wine does) leaves the link where it is, and the folder it stands for untouched.
bool RemoveFolderLink(const std::string& path) {
    Handle link(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_ATTRIBUTE_TAG_INFO opened = {};
    if (!link.valid() ||
        !GetFileInformationByHandleEx(link.get(), FileAttributeTagInfo, &opened, sizeof opened) ||
        !(opened.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    FILE_DISPOSITION_INFO remove = {TRUE};
    return SetFileInformationByHandle(link.get(), FileDispositionInfo, &remove, sizeof remove) != 0;
}

// "." and ".." name the folder itself and its parent; an empty name names nothing.
bool IsSelfOrParent(const std::string& name) {
    return name.empty() || name == "." || name == "..";
}

// Calls visit for every entry matching pattern, files and folders of every attribute, in the
// order the system lists them. The search is ended on every path, exceptions included. False
// when the folder could not be listed at all (held open without sharing, access denied); a
// folder always lists at least "." and "..", so nothing found means it was not read.
bool ForEachEntry(const std::string& pattern,
                  const std::function<void(const WIN32_FIND_DATAA&)>& visit) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    struct SearchCloser {
        HANDLE handle;
        ~SearchCloser() { FindClose(handle); }
    } closer{search};
    do {
        visit(entry);
    } while (FindNextFileA(search, &entry));
    return true;
}

// The entry as its folder lists it: asking for the attributes of the path itself may answer for
// the folder a link stands for.
bool IsFolderLink(const std::string& path) {
    bool link = false;
    ForEachEntry(
        path, [&](const WIN32_FIND_DATAA& entry) { link = IsFolderLink(entry.dwFileAttributes); });
    return link;
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

std::string LinkNotCopied(const std::string& path) {
    return "Папка " + path + " является ссылкой на другую папку и не копируется!";
}

void CopyTree(const std::string& sourceFolder, const std::string& destFolder,
              std::vector<std::string>& notCopied) {
    const std::string source = IncludeTrailingBackslash(sourceFolder);
    const std::string dest = IncludeTrailingBackslash(destFolder);
    if (!FolderExists(source)) throw Error("Папка " + source + " не существует!");
    // A link is not copied as a folder, and copying into one would write into the folder it
    // stands for, outside the target.
    for (const std::string& folder : {sourceFolder, destFolder})
        if (IsFolderLink(ExcludeTrailingBackslash(folder))) {
            notCopied.push_back(LinkNotCopied(ExcludeTrailingBackslash(folder)));
            return;
        }
    if (!CreateFolderTree(dest)) throw Error("Невозможно создать папку " + dest + "!");
    const bool listed = ForEachEntry(source + "*", [&](const WIN32_FIND_DATAA& entry) {
        const std::string name = entry.cFileName;
        if (IsSelfOrParent(name)) return;
        if (IsFolder(entry))
            CopyTree(source + name, dest + name, notCopied);
        else if (!CopyFileOverwrite(source + name, dest + name))
            notCopied.push_back(CopyFailure(source + name));
        else
            // The run's first copy of a tree is its backup: this is the backup's first file.
            XQV_FAULT_POINT("in-8");
    });
    // An empty copy of a folder that could not be read is not a copy of it.
    if (!listed)
        notCopied.push_back("Невозможно прочитать содержимое папки " +
                            ExcludeTrailingBackslash(source) + "!");
}

} // namespace

std::string CopyFailure(const std::string& path) {
    return "Невозможно скопировать файл " + path + "!";
}

void DeleteFolder(const std::string& folder) {
    // A link given as the folder itself is removed as a link, never emptied.
    if (IsFolderLink(ExcludeTrailingBackslash(folder))) {
        RemoveFolderLink(ExcludeTrailingBackslash(folder));
        return;
    }
    const std::string pattern = JoinPath(folder, "*.*");
    const std::string base = pattern.substr(0, pattern.size() - 3);
    ForEachEntry(pattern, [&](const WIN32_FIND_DATAA& entry) {
        const std::string name = entry.cFileName;
        const std::string fullName = base + name;
        if (IsSelfOrParent(name)) return;
        if (IsFolderLink(entry.dwFileAttributes)) {
            // A link that cannot be removed stays, as a subfolder that cannot be removed does.
            RemoveFolderLink(fullName);
            return;
        }
        if (IsFolder(entry)) {
            DeleteFolder(fullName);
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
    // The folder's own path: a trailing backslash typed with the location is no part of a name
    // to rename to. A drive root keeps it ("C:" alone would mean the drive's current folder);
    // renaming a root fails, which is the lock message.
    const std::string folder =
        FolderPart(location) == location ? location : ExcludeTrailingBackslash(location);
    const std::string sibling = ExcludeTrailingBackslash(location) + "_";
    // Windows refuses the rename while anything holds a file or folder of the tree open.
    // clang-format off
    if (!MoveFileA(folder.c_str(), sibling.c_str()))
        throw Error("Невозможно получить полный доступ к папке " + location + "." + "\r" + "\r" +
                    "Закройте все открытые приложения, в том числе файл-менеджеры (Total Commander, Проводник, Explorer и т.д.) и повторите обновление." + "\r" +
                    "Также проверьте, что данная программа обновления НЕ расположена в папке " + location + "." + "\r" + "\r" +
                    "Если ошибка повторяется, ПЕРЕЗАГРУЗИТЕ компьютер!");
    if (!MoveFileA(sibling.c_str(), folder.c_str()))
        throw Error("Произошла критическая ошибка переименования пути к обновляемой программе! Обратитесь к разработчику.");
    // clang-format on
    SaveExceptionToLog("Завершена проверка наличия блокировок каталогов/файлов");
}

} // namespace xqv
