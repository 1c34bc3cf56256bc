#include "update.h"

#include "errors.h"
#include "fb_server.h"
#include "run_window.h"
#include "system_routines.h"

namespace xqv {

UpdateContext Context;

namespace {

// Removable and fixed drives are local. A server-and-share path is a network path whatever its
// root reports (Wine, for one, calls such roots fixed).
bool IsLocalLocation(const std::string& location) {
    if (IsNetworkPath(location)) return false;
    UINT type = GetDriveTypeA((DrivePart(location) + "\\").c_str());
    return type == DRIVE_REMOVABLE || type == DRIVE_FIXED;
}

} // namespace

std::string TimeStampText(const SYSTEMTIME& time) {
    return IntToTwoDigits(time.wDay) + IntToTwoDigits(time.wMonth) + IntToTwoDigits(time.wYear) +
           IntToTwoDigits(time.wHour) + IntToTwoDigits(time.wMinute) + IntToTwoDigits(time.wSecond);
}

void InitVariables(const std::string& location) {
    SaveExceptionToLog("Инициализация переменных...");
    ProcessMessages();

    Context.ProgramLocation = ExpandPath(location);
    const std::string& where = Context.ProgramLocation;
    // The system's narrow path functions stop at MAX_PATH: a longer location cannot be expanded
    // or reached, whether it exists or not, and the message says so with the text as typed.
    if (location.size() >= MAX_PATH || where.size() >= MAX_PATH)
        throw Error("Путь к обновляемой программе \"" + location + "\" длиннее " +
                    std::to_string(MAX_PATH - 1) + " символов!");
    if (!FolderExists(where))
        throw Error("Путь к обновляемой программе \"" + (where.empty() ? location : where) +
                    "\" не найден!");
    if (!IsLocalLocation(where))
        throw Error("Путь к обновляемой программе \"" + where + "\" не является локальным!");

    Context.ProgramDir = JoinPath(where, "Program");
    Context.DatabaseDir = JoinPath(where, "DB_Data");
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    Context.TempDir = JoinPath(where, "Tmp$" + TimeStampText(now));
    Context.NewDir = JoinPath(Context.TempDir, "New");
    Context.BackupDir = JoinPath(Context.TempDir, "Old");
    Context.BackupProgramDir = JoinPath(Context.BackupDir, "Program");
    Context.BackupDatabaseDir = JoinPath(Context.BackupDir, "DB_Data");

    TFBServParams found;
    DetectFbServer(found);
    FbServParams = found;

    const ProjectProfile& profile = Window().Profile();
    const std::string databaseFile = JoinPath(Context.DatabaseDir, profile.DatabaseFileName);
    Context.DbConnectString = profile.DbConnectPrefix + databaseFile;
    Context.ClientPartFound = FileExists(JoinPath(Context.ProgramDir, profile.ClientExeName));
    Context.ServerPartFound = FileExists(databaseFile);

    SaveExceptionToLog("Завершена инициализация переменных");
    ProcessMessages();
}

} // namespace xqv
