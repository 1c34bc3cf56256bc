#include "update_run.h"

#include "errors.h"
#include "fault_point.h"
#include "release_script.h"
#include "run_window.h"
#include "server_stages.h"
#include "system_routines.h"
#include "update.h"
#include "win_handle.h"

namespace xqv {

std::string FormatErrorText(const std::string& previous, const std::string& message) {
    if (previous.empty()) return message;
    return previous + "\r" + "\r" + "Exception!" + "\r" + "Message: " + message;
}

void LogRecordingFailure(const std::string& text, std::string& errorText) {
    try {
        SaveExceptionToLog(text);
    } catch (const std::exception& e) {
        errorText = FormatErrorText(errorText, e.what());
    }
}

const char* const kReleaseClientFiles[2] = {"OrveLin.exe", "OrveLin.chm"};

std::string FoundPartsText(const std::string& location, const std::string& projectName) {
    const UpdateContext& c = Context;
    if (c.ClientPartFound && c.ServerPartFound) return "КЛИЕНТСКАЯ и СЕРВЕРНАЯ части";
    if (c.ClientPartFound) return "КЛИЕНТСКАЯ часть";
    if (c.ServerPartFound) return "СЕРВЕРНАЯ часть";
    throw Error("В каталоге \"" + location +
                "\" не обнаружено ни КЛИЕНТСКОЙ, ни СЕРВЕРНОЙ частей программы \"" + projectName +
                "\"");
}

namespace {

// A copy of a whole tree that left a file behind is an error: an incomplete backup or restore
// must not pass as complete.
void CopyFolderCompletely(const std::string& source, const std::string& dest) {
    const std::vector<std::string> failed = CopyFolder(source, dest);
    if (!failed.empty()) throw Error(failed.front());
}

// The file in a temporary folder that says its run has begun to change the installation and has
// not yet brought it to a whole state (the new release, or the old one restored). While it is
// there, the folder's backup may be the only good copy of the installation.
const char* const kUnfinishedMarker = "Обновление не завершено.txt";

std::string UnfinishedMarker(const std::string& tempDir) {
    return JoinPath(tempDir, kUnfinishedMarker);
}

void MarkUnfinished() {
    const std::string marker = UnfinishedMarker(Context.TempDir);
    const std::string text = "Обновление программы, начатое в этой папке, не завершено. Резервная "
                             "копия программы находится в папке " +
                             Context.BackupDir + ".\r\n";
    Handle file(CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const bool done =
        file.valid() &&
        WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    if (!done || !file.Close()) throw Error("Невозможно создать файл " + marker + "!");
}

void ClearUnfinished() {
    const std::string marker = UnfinishedMarker(Context.TempDir);
    if (!DeleteFileA(marker.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        throw Error("Невозможно удалить файл " + marker + "!");
}

} // namespace

// A run that was ended half-way (the process killed, the machine switched off) leaves its marker
// behind. A new run would back up whatever that run left and could then restore a half-updated
// installation; so it is refused before anything is touched, and the administrator is told where
// the good copy is.
void RefuseAfterUnfinishedRun() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(JoinPath(Context.ProgramLocation, "Tmp$*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    std::string unfinished;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const std::string tempDir = JoinPath(Context.ProgramLocation, found.cFileName);
        if (FileExists(UnfinishedMarker(tempDir))) unfinished = tempDir;
    } while (unfinished.empty() && FindNextFileA(search, &found));
    FindClose(search);
    if (unfinished.empty()) return;
    // The steps name what the backup holds; the database needs the server to let go of it.
    const std::string backup = JoinPath(unfinished, "Old");
    const bool program = FolderExists(JoinPath(backup, "Program"));
    const bool database = FolderExists(JoinPath(backup, "DB_Data"));
    std::string restore = program && database ? "папки \"Program\" и \"DB_Data\""
                          : database          ? "папку \"DB_Data\""
                                              : "папку \"Program\"";
    if (database)
        restore += " (файл базы данных - при остановленной службе Firebird-сервера), затем "
                   "запустите службу и переведите базу данных в многопользовательский режим (меню "
                   "\"Сервис\" -> \"Перевести базу данных в многопользовательский режим "
                   "(Online)\")";
    throw Error("Предыдущее обновление программы в каталоге \"" + Context.ProgramLocation +
                "\" не было завершено: программа может быть обновлена частично. Резервная копия "
                "находится в папке " +
                backup + ". Восстановите из нее " + restore + ", удалите файл \"" +
                UnfinishedMarker(unfinished) +
                "\" и повторите обновление. Обновление не начато, ничего не изменено.");
}

namespace {

void DetectAndConfirm(const std::string& location, const std::string& projectName) {
    const std::string parts = FoundPartsText(location, projectName);
    RefuseAfterUnfinishedRun();
    const std::string question = "В указанном каталоге: \"" + location + "\" - обнаружены " +
                                 parts + " программы \"" + projectName + "\"" + "\r" +
                                 "Продолжить обновление?";
    // No holds the focus: Enter answers No.
    if (Window().ShowMessage(question, MessageKind::Information, DialogButtons::YesNo,
                             DialogAnswer::No) != DialogAnswer::Yes)
        throw SilentAbort();
}

void TemporaryStructureAndPayload() {
    SaveExceptionToLog("Создание временной структуры каталогов.");
    DeleteFolder(Context.TempDir);
    CreateFolder(Context.TempDir);
    CreateFolder(Context.NewDir);
    CreateFolder(Context.BackupDir);
    UnpackPayload(Context.NewDir);
    SaveExceptionToLog("Завершено создание временной структуры каталогов.");
}

void Backup() {
    SaveExceptionToLog("Создание резервной копии программы");
    if (Context.ClientPartFound) CopyFolderCompletely(Context.ProgramDir, Context.BackupProgramDir);
    if (Context.ServerPartFound)
        CopyFolderCompletely(Context.DatabaseDir, Context.BackupDatabaseDir);
    // From here on the installation is about to change: until it is whole again, the backup
    // is what a person restores from.
    MarkUnfinished();
}

void ReplaceClientFiles() {
    SaveExceptionToLog("Обновление клиентской части");
    SaveExceptionToLog(
        "Выполняется копирование и замена файлов и каталогов клиентского приложения");
    // A client file left unreplaced is a failed update, not a success. The message names the
    // file that stood in the way: the new one when the payload did not bring it, else the old.
    for (const char* name : kReleaseClientFiles) {
        const std::string source = JoinPath(Context.NewDir, name);
        const std::string target = JoinPath(Context.ProgramDir, name);
        if (!CopyFileOverwrite(source, target))
            throw Error(CopyFailure(FileExists(source) ? target : source));
        XQV_FAULT_POINT("in-10");
    }
}

void RemoveNewDir() {
    try {
        DeleteFolder(Context.NewDir);
        SaveExceptionToLog("Временная папка \"" + Context.NewDir + "\\" + "\" удалена");
    } catch (const std::exception&) {
        SaveExceptionToLog("Не удалось удалить временную папку: " + Context.NewDir +
                           ". Попробуйте удалить ее вручную после перезагрузки компьютера.");
    }
}

// Puts one folder back from its backup: as much as possible, every error recorded.
void RestoreFolder(const std::string& backup, const std::string& folder, std::string& errorText,
                   bool& failed) {
    try {
        DeleteFolder(folder);
    } catch (const std::exception& e) {
        // What could not be deleted stays; the backup still goes over the rest.
        errorText = FormatErrorText(errorText, e.what());
        failed = true;
    }
    try {
        XQV_FAULT_POINT("in-restore");
        CopyFolderCompletely(backup, folder);
    } catch (const std::exception& e) {
        errorText = FormatErrorText(errorText, e.what());
        failed = true;
    }
}

void Rollback(std::string& errorText) {
    Window().SetUpdateStageFailed(true);
    Window().SetStatusCaption("Обновление завершено с ошибками.\rВыполняется откат изменений!");
    // Whatever happens to the log, the restore runs.
    LogRecordingFailure("Обновление завершено с ошибками. Выполняется откат изменений!", errorText);
    LogRecordingFailure("Восстановление каталогов программы из резервной копии.", errorText);
    bool failed = false;
    if (Context.ClientPartFound)
        RestoreFolder(Context.BackupProgramDir, Context.ProgramDir, errorText, failed);
    if (Context.ServerPartFound)
        RestoreFolder(Context.BackupDatabaseDir, Context.DatabaseDir, errorText, failed);
    if (!failed) {
        LogRecordingFailure("Завершено восстановление каталогов программы из резервной копии.",
                            errorText);
        // The installation is whole again. Should the marker stay, the next run is refused and
        // tells where the backup is: safe, so its failure is only recorded.
        try {
            ClearUnfinished();
        } catch (const std::exception& e) {
            errorText = FormatErrorText(errorText, e.what());
        }
        return;
    }
    Window().SetRollbackIncomplete(Context.BackupDir);
    LogRecordingFailure("Откат изменений не завершен: программа может быть обновлена частично. "
                        "Резервная копия находится в папке " +
                            Context.BackupDir + ".",
                        errorText);
}

// Stages 6 to 11, each failure recorded in errorText; the error that leaves carries it all.
void ProtectedStages(const std::string& password, std::string& errorText) {
    try {
        XQV_FAULT_POINT("before-6");
        CheckFolderLocks();
        XQV_FAULT_POINT("after-6");
        try {
            XQV_FAULT_POINT("before-7");
            TemporaryStructureAndPayload();
            XQV_FAULT_POINT("after-7");
            XQV_FAULT_POINT("before-8");
            Backup();
            XQV_FAULT_POINT("after-8");
        } catch (const std::exception& e) {
            errorText = FormatErrorText(errorText, e.what());
            try {
                DeleteFolder(Context.TempDir);
            } catch (const std::exception& cleanup) {
                errorText = FormatErrorText(errorText, cleanup.what());
            }
            throw;
        }
        SaveExceptionToLog("Завершено создание резервной копии программы");

        Window().SetUpdateStageFailed(false);
        try {
            XQV_FAULT_POINT("before-9");
            if (Context.ServerPartFound) ServerScriptStage(password);
            XQV_FAULT_POINT("after-9");
            XQV_FAULT_POINT("before-10");
            if (Context.ClientPartFound) ReplaceClientFiles();
            XQV_FAULT_POINT("after-10");
            // The new release is in place: the installation is whole again.
            ClearUnfinished();
            XQV_FAULT_POINT("before-11");
            RemoveNewDir();
            XQV_FAULT_POINT("after-11");
        } catch (const std::exception& e) {
            errorText = FormatErrorText(errorText, e.what());
            Rollback(errorText);
            throw;
        }
    } catch (const SilentAbort&) {
        throw;
    } catch (const std::exception& e) {
        errorText = FormatErrorText(errorText, e.what());
        throw Error(errorText);
    }
}

} // namespace

void UpdateProgram(const std::string& location, const std::string& password,
                   const std::string& projectName) {
    InitVariables(location);
    DetectAndConfirm(location, projectName);
    std::string errorText;
    if (Context.ServerPartFound) {
        CheckServerRegistered();
        CheckReleaseScript();
        DisconnectCheckStage(password);
        ShutdownStage(password);
        ServiceCycleStage(password, errorText);
    }
    errorText.clear();

    // The database goes back online after stages 6 to 11 whatever their outcome; an error of
    // that step replaces the one in flight.
    try {
        ProtectedStages(password, errorText);
    } catch (...) {
        if (Context.ServerPartFound) OnlineStage(password, errorText);
        throw;
    }
    if (Context.ServerPartFound) OnlineStage(password, errorText);
}

} // namespace xqv
