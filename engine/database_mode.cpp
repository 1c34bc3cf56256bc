#include "database_mode.h"

#include "db_services.h"
#include "errors.h"
#include "run_window.h"
#include "update.h"

namespace xqv {

namespace {

// clang-format off
const char* const kNoServerPart = "Программа обновления, исходя из заданного пути к обновляемой программе, обнаружила, что на данном компьютере отсутствует СЕРВЕРНАЯ часть обновляемой программы, поэтому выполнение данной функции невозможно!";
// clang-format on

// The server's refusal of a database already in the mode asked for.
const char* const kAlreadyInMode = "Target shutdown mode is invalid for database";

struct ModeSwitch {
    const char* firstLine;
    void (*operation)(const std::string& clientLibrary, const std::string& database,
                      const std::string& userName, const std::string& password);
    const char* done;
    const char* alreadyInMode;
};

void SwitchDatabaseMode(const std::string& location, const std::string& password,
                        const ModeSwitch& mode) {
    InitVariables(location);
    SaveExceptionToLog(mode.firstLine);
    ProcessMessages();
    if (!Context.ServerPartFound) throw Error(kNoServerPart);
    try {
        mode.operation(Window().Profile().ClientLibraryName, Context.DbConnectString, "SYSDBA",
                       password);
        SaveExceptionToLog(mode.done);
        ProcessMessages();
        Window().ShowMessage(mode.done, MessageKind::Information, DialogButtons::Ok,
                             DialogAnswer::Ok);
    } catch (const SilentAbort&) {
        throw;
    } catch (const std::exception& e) {
        ProcessMessages();
        if (std::string(e.what()).find(kAlreadyInMode) == std::string::npos) throw;
        SaveExceptionToLog(mode.alreadyInMode);
        ProcessMessages();
        Window().ShowMessage(mode.alreadyInMode, MessageKind::Warning, DialogButtons::Ok,
                             DialogAnswer::Ok);
    }
}

} // namespace

void DatabaseOnlineCommand(const std::string& location, const std::string& password) {
    SwitchDatabaseMode(location, password,
                       {"Перевод базы данных в многопользовательский режим (OnLine)",
                        BringDatabaseOnline,
                        "База данных переведена в многопользовательский режим.",
                        "База данных уже работает в многопользовательском режиме."});
}

void DatabaseShutdownCommand(const std::string& location, const std::string& password) {
    SwitchDatabaseMode(location, password,
                       {"Перевод базы данных в однопользовательский режим (Shutdown)",
                        ShutdownDatabase, "База данных переведена в однопользовательский режим.",
                        "База данных уже находится в однопользовательском режиме."});
}

} // namespace xqv
