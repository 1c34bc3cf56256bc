#include "server_stages.h"

#include <vector>
#include "attached_users.h"
#include "db_services.h"
#include "errors.h"
#include "fault_point.h"
#include "fb_server.h"
#include "run_window.h"
#include "script_runner.h"
#include "service_control.h"
#include "system_routines.h"
#include "update.h"
#include "update_run.h"

namespace xqv {

namespace {

// clang-format off
const char* const kUsersAttached = "Программа обновления обнаружила, что к СЕРВЕРНОЙ части обновляемой программы подключены следующие пользователи: ";
const char* const kServerStopWarning = "Сейчас будет выполнена остановка сервера FireBird.Убедитесь, что пользователи не имеют активных подключений ко всем базам данных на этом сервере!\r\rПродолжение установки оборвет все подключения к базам данных на этом сервере принудительно!\r\rПродолжить установку?";
const char* const kShutdownFailed = "Программе обновления не удалось перевести базу данных (сервер) в однопользовательский режим (Shutdown mode). Возможная причина - база данных (сервер)  уже находится в однопользовательском  режиме. \rВ этом случае необходимо вручную перевести  базу данных (сервер) в  многопользовательский режим (Online Mode), с помощью пункта меню \"Операции\" -> \"Перевести базу данных в многопользовательский режим (OnLine)\".\r Сообщение об ошибке:\r\r";
const char* const kManualOnlineSteps = "Программе обновления не удалось перевести базу данных (сервер) в многопользовательский режим. Для ручного перевода базы данных (сервера) в многопользовательский режим: \r1. Запустите службу FireBird-сервера (пункт меню \"Операции\"->\"Запустить службу FireBird-сервера\");\r2. Выберите пункт меню \"Операции\"->\"Перевести базу данных в многопользовательский режим (OnLine));\r3. Повторите попытку обновления.";
const char* const kOnlineFailedAfterServiceCycle = "Обновление прервано: невозможно перевести базу данных в многопользовательский режим.\rOriginal Message: ";
const char* const kOnlineFailed = "Программе обновления не удалось перевести базу данных (сервер) в многопользовательский режим. Для ручного перевода базы данных (сервера) в многопользовательский режим воспользуйтесь пунктом меню \"Перевести базу данных в многопользовательский режим (OnLine)\".\rOriginal Message: ";
const char* const kNoReadAccess = "Процедуре CheckFreeSize не удалось получить доступ к файлу БД на чтение!";
// clang-format on

const std::string& ClientLibrary() {
    return Window().Profile().ClientLibraryName;
}

void Log(const std::string& text) {
    SaveExceptionToLog(text);
    ProcessMessages();
}

std::string Joined(const std::vector<std::string>& names, const std::string& separator) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : separator) + name;
    return text;
}

// The warning before clients are cut off; Yes holds the focus. No ends the run silently.
void ConfirmDisconnect(const std::string& warning) {
    if (Window().ShowMessage(warning, MessageKind::Warning, DialogButtons::YesNo,
                             DialogAnswer::Yes) == DialogAnswer::No) {
        SaveExceptionToLog("Обновление прервано пользователем: Отключение клиентов отложено.");
        throw SilentAbort();
    }
}

// A super server tells who is attached: they are named, and asked about only when there are any.
void DisconnectCheckSuperServer(const std::string& password) {
    Log("Проверка подключений к Firebird-серверу.");
    std::vector<std::string> users;
    GetAttachedUsers(ClientLibrary(), Context.DbConnectString, "SYSDBA", password, "", users);
    if (users.empty()) return;
    Log("Отключение клиентов");
    const std::string usersText = kUsersAttached + Joined(users, "; ");
    ProcessMessages();
    ConfirmDisconnect(usersText + "\r" + "\r" +
                      "Необходимо, чтобы все подключенные пользователи (клиенты) вышли " +
                      "из обновляемой программы, после чего процесс обновления можно " +
                      "повторить заново." + "\r" + "\r" + "Продолжение установки оборвет все " +
                      "подключения к базе данных принудительно!" + "\r" + "\r" +
                      "Продолжить установку?");
    Log("Отключение клиентов завершено");
}

// Any other server (or none recognised) cannot be asked: the general warning always shows.
void DisconnectCheckOtherServer() {
    Log("Отключение клиентов");
    ConfirmDisconnect(kServerStopWarning);
    Log("Отключение клиентов завершено.");
}

// The closing part of the service cycle: the server runs again.
void StartServiceAgain() {
    SaveExceptionToLog("Запуск службы FireBird.");
    StartFbService(FbServParams, false);
    SaveExceptionToLog("Служба FireBird запущена.");
}

// The database back online between its two log lines. Logging must not keep the database in
// shutdown: a line the log cannot take is only recorded in errorText.
void BringOnlineLogged(const char* firstLine, const std::string& password, std::string& errorText) {
    LogRecordingFailure(firstLine, errorText);
    BringDatabaseOnline(ClientLibrary(), Context.DbConnectString, "SYSDBA", password);
    LogRecordingFailure("База данных переведена в многопользовательский режим.", errorText);
}

// After a failed service cycle the database goes back online at once; when it cannot, the user is
// shown how to do it by hand and the failure is recorded.
void BringOnlineAfterServiceFailure(const std::string& password, std::string& errorText) {
    try {
        BringOnlineLogged("Перевод базы данных в многопользовательский режим (Online)", password,
                          errorText);
    } catch (const std::exception& e) {
        ProcessMessages();
        Window().ShowMessage(kManualOnlineSteps, MessageKind::Error, DialogButtons::Ok,
                             DialogAnswer::Ok);
        errorText =
            FormatErrorText(errorText, kOnlineFailedAfterServiceCycle + std::string(e.what()));
    }
}

// The free-space check, with the server stopped so the database file is closed; the service is
// started again whatever the check found. An error of the start replaces one of the check.
void CheckFreeSpaceWhileStopped(std::string& errorText) {
    const ProjectProfile& profile = Window().Profile();
    try {
        SaveExceptionToLog("Проверка свободного места на диске.");
        CheckFreeSize(JoinPath(Context.DatabaseDir, profile.DatabaseFileName),
                      DrivePart(Context.DatabaseDir) + "\\",
                      static_cast<uint8_t>(profile.FreeSpaceFactor));
        SaveExceptionToLog("Завершена проверка свободного места на диске.");
    } catch (const std::exception& e) {
        // An empty message means the database file did not open for reading.
        const std::string message = *e.what() ? e.what() : kNoReadAccess;
        errorText = FormatErrorText(errorText, message);
        StartServiceAgain();
        throw Error(message);
    }
    StartServiceAgain();
}

} // namespace

void CheckServerRegistered() {
    if (!FbServParams.ServiceName.empty()) return;
    throw Error(std::string("На компьютере не найдена служба FireBird-сервера (\"") +
                kVendorServiceName + "\" или \"" + kGuardianServiceName +
                "\"), поэтому СЕРВЕРНАЯ часть обновлена быть не может. Обновление не начато, "
                "ничего не изменено.");
}

void DisconnectCheckStage(const std::string& password) {
    if (FbServParams.ServerType == "SUPER")
        DisconnectCheckSuperServer(password);
    else
        DisconnectCheckOtherServer();
}

void ShutdownStage(const std::string& password) {
    try {
        SaveExceptionToLog("Перевод базы данных в однопользовательский режим (Shutdown)");
        ShutdownDatabase(ClientLibrary(), Context.DbConnectString, "SYSDBA", password);
        SaveExceptionToLog("База данных переведена в однопользовательский режим.");
    } catch (const std::exception& e) {
        throw Error(kShutdownFailed + std::string(e.what()));
    }
}

void ServiceCycleStage(const std::string& password, std::string& errorText) {
    errorText.clear();
    try {
        SaveExceptionToLog("Остановка службы FireBird.");
        StopFbService(FbServParams, false);
        SaveExceptionToLog("Служба FireBird остановлена.");
        CheckFreeSpaceWhileStopped(errorText);
    } catch (const std::exception& e) {
        errorText = FormatErrorText(errorText, e.what());
        BringOnlineAfterServiceFailure(password, errorText);
        throw Error(errorText);
    }
}

void ServerScriptStage(const std::string& password) {
    SaveExceptionToLog("Обновление серверной части");
    SaveExceptionToLog("Выполненяется скрипт синхронизации структуры проекта");
    const std::string script = XQV_FAULT_SCRIPT(LoadResourceText("script", "TEXT"));
    RunScriptText(ClientLibrary(), Context.DbConnectString, "SYSDBA", "WIN1251", password, "",
                  script, &Window(), 1);
}

void OnlineStage(const std::string& password, std::string& errorText) {
    const std::string before = errorText;
    try {
        XQV_FAULT_POINT_RECORDED("before-12", errorText);
        BringOnlineLogged("Перевод базы данных в многопользовательский режим (OnLine)", password,
                          errorText);
        XQV_FAULT_POINT_RECORDED("after-12", errorText);
    } catch (const std::exception& e) {
        errorText = FormatErrorText(errorText, kOnlineFailed + std::string(e.what()));
        throw Error(errorText);
    }
    // The database is online, but a line of it did not reach the log: still a failure to report.
    if (errorText != before) throw Error(errorText);
}

} // namespace xqv
