#include "update_run.h"

#include "errors.h"
#include "release_script.h"
#include "run_window.h"
#include "server_stages.h"
#include "system_routines.h"
#include "update.h"

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

namespace {

// The client files a release brings, by the payload's own names.
const char* const kClientFiles[] = {"OrveLin.exe", "OrveLin.chm"};

// A copy of a whole tree that left a file behind is an error: an incomplete backup or restore
// must not pass as complete.
void CopyFolderCompletely(const std::string& source, const std::string& dest) {
    const std::vector<std::string> failed = CopyFolder(source, dest);
    if (!failed.empty()) throw Error(failed.front());
}

std::string PartsText(const UpdateContext& c) {
    if (c.ClientPartFound && c.ServerPartFound) return "КЛИЕНТСКАЯ и СЕРВЕРНАЯ части";
    if (c.ClientPartFound) return "КЛИЕНТСКАЯ часть";
    if (c.ServerPartFound) return "СЕРВЕРНАЯ часть";
    return "";
}

void DetectAndConfirm(const std::string& location, const std::string& projectName) {
    const std::string parts = PartsText(Context);
    if (parts.empty())
        throw Error("В каталоге \"" + location +
                    "\" не обнаружено ни КЛИЕНТСКОЙ, ни СЕРВЕРНОЙ частей программы \"" +
                    projectName + "\"");
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
}

void ReplaceClientFiles() {
    SaveExceptionToLog("Обновление клиентской части");
    SaveExceptionToLog(
        "Выполняется копирование и замена файлов и каталогов клиентского приложения");
    // A client file left unreplaced is a failed update, not a success. The message names the
    // file that stood in the way: the new one when the payload did not bring it, else the old.
    for (const char* name : kClientFiles) {
        const std::string source = JoinPath(Context.NewDir, name);
        const std::string target = JoinPath(Context.ProgramDir, name);
        if (!CopyFileOverwrite(source, target))
            throw Error(CopyFailure(FileExists(source) ? target : source));
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
        CheckFolderLocks();
        try {
            TemporaryStructureAndPayload();
            Backup();
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
            if (Context.ServerPartFound) ServerScriptStage(password);
            if (Context.ClientPartFound) ReplaceClientFiles();
            RemoveNewDir();
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
