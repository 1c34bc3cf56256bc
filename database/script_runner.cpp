#include "script_runner.h"

#include <exception>
#include "db_params.h"
#include "errors.h"
#include "module_loader.h"
#include "script_library.h"
#include "sqlscript_api.h"

namespace xqv {

namespace {

const char* const kStatementHeader = "------- STATEMENT --------";
const char* const kErrorHeader = "-------   ERROR   --------";
const char* const kVersionCheckMarker = "execute procedure check_versio(";
const char* const kVersionMismatchNote =
    "\rВероятно, имеет место несоответствие между версией обновления и версией обновляемой базы "
    "данных!\r\r";

// What the callbacks share with ExecScript while the library runs.
RunWindow* ScriptLog = nullptr;
std::string ScriptErrorText;
// An exception the window raised inside a callback: it must not cross the library's frames,
// so it waits here until the library has returned.
std::exception_ptr CallbackFailure;

void KeepCallbackFailure() {
    if (!CallbackFailure) CallbackFailure = std::current_exception();
}

void RethrowCallbackFailure() {
    if (!CallbackFailure) return;
    std::exception_ptr failure = CallbackFailure;
    CallbackFailure = nullptr;
    std::rethrow_exception(failure);
}

// The marker is plain ASCII, so lowering the ASCII letters finds it wherever a lowering of
// every Windows-1251 letter would.
std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

int32_t XQV_STDCALL OnConnectError(const char* message) {
    ScriptErrorText = message ? message : "";
    return 0;
}

int32_t XQV_STDCALL OnScriptError(const char* statementText, const char* errorText) {
    const std::string statement = statementText ? statementText : "";
    const std::string error = errorText ? errorText : "";
    try {
        if (ScriptLog) {
            ScriptLog->AddLogViewLine(kStatementHeader);
            ScriptLog->AddLogViewLine(statement);
            ScriptLog->AddLogViewLine(kErrorHeader);
            ScriptLog->AddLogViewLine(error);
            ScriptLog->ProcessMessages();
        }
    } catch (...) {
        KeepCallbackFailure();
    }
    ScriptErrorText = ScriptFailureText(statement, error);
    return 0;
}

int32_t XQV_STDCALL OnScriptText(int32_t, const char* text) {
    try {
        if (ScriptLog) {
            ScriptLog->AddLogViewLine(text ? text : "");
            ScriptLog->ProcessMessages();
        }
    } catch (...) {
        KeepCallbackFailure();
    }
    return 0;
}

int32_t XQV_STDCALL OnScriptTextQuiet(int32_t, const char*) {
    return 0;
}

// Asks the library to stop at a failing statement.
int32_t XQV_STDCALL OnScriptCode(int32_t, int32_t code) {
    return code != 1 ? 1 : 0;
}

int32_t XQV_STDCALL OnScriptCodeQuiet(int32_t, int32_t) {
    return 0;
}

// The loaded script library; unloaded on every path.
class ScriptLibrary {
public:
    ScriptLibrary() : module_(OpenScriptLibrary()) {
        if (!module_) throw Error("Невозможно загрузить библиотеку \"SqlScript.dll\"!");
    }
    ~ScriptLibrary() { fb::CloseModule(module_); }
    ScriptLibrary(const ScriptLibrary&) = delete;
    ScriptLibrary& operator=(const ScriptLibrary&) = delete;

    template <typename Function> Function Entry(const char* name) const {
        void* entry = fb::ModuleSymbol(module_, name);
        if (!entry)
            throw Error(std::string("В библиотеке \"SqlScript.dll\" не найдена функция \"") + name +
                        "\"!");
        return reinterpret_cast<Function>(entry);
    }

private:
    void* module_;
};

} // namespace

bool IsReleaseCheck(const std::string& statement) {
    return LowerAscii(statement).find(kVersionCheckMarker) != std::string::npos;
}

std::string ScriptFailureText(const std::string& statement, const std::string& error) {
    const std::string block =
        std::string(kStatementHeader) + "\r" + statement + "\r" + kErrorHeader + "\r" + error;
    return IsReleaseCheck(statement) ? kVersionMismatchNote + block : block;
}

void CheckScriptLibrary() {
    ScriptLibrary library;
    library.Entry<SqlConnectFunction>("Connect");
    library.Entry<SqlExecScriptFunction>("ExecScriptText");
    library.Entry<SqlExecScriptFunction>("ExecScriptFile");
}

std::string ScriptConnectParams(const std::string& clientLibrary, const std::string& database,
                                const std::string& userName, const std::string& charSet,
                                const std::string& password, const std::string& roleName) {
    return "db_name=" + database + "; password=" + password + "; user_name=" + userName +
           "; lc_ctype=" + charSet + "; sql_role_name=" + roleName +
           "; sql_dialect=3; clientlib=\"" + clientLibrary + "\"";
}

void ExecScript(bool isText, const std::string& clientLibrary, const std::string& database,
                const std::string& userName, const std::string& charSet,
                const std::string& password, const std::string& roleName, const std::string& script,
                RunWindow* logView, int logMode) {
    CheckDbParams(clientLibrary, database, userName, password);
    ScriptLog = logView;
    ScriptErrorText.clear();
    CallbackFailure = nullptr;

    const std::string trimmed = TrimBlanks(script);
    const char* runEntryName = "ExecScriptText";
    if (isText) {
        if (trimmed.empty()) throw Error("Скрипт пустой!");
    } else {
        if (trimmed.empty()) throw Error("Не задан файл скрипта!");
        if (!ScriptFileExists(trimmed)) throw Error("Файл скрипта \"" + trimmed + "\" не найден!");
        runEntryName = "ExecScriptFile";
    }

    ScriptLibrary library;
    const auto connect = library.Entry<SqlConnectFunction>("Connect");
    const auto run = library.Entry<SqlExecScriptFunction>(runEntryName);

    const std::string params =
        ScriptConnectParams(clientLibrary, database, userName, charSet, password, roleName);
    const int32_t connected = connect(params.c_str(), OnConnectError);
    if (connected != 0 || !ScriptErrorText.empty())
        throw Error("Ошибка подключения к базе данных!\r" + ScriptErrorText);

    if (logMode == 1) {
        run(trimmed.c_str(), OnScriptError, OnScriptText, OnScriptCode);
        RethrowCallbackFailure();
        if (!ScriptErrorText.empty()) throw Error("Ошибка применения скрипта!\r" + ScriptErrorText);
    } else {
        run(trimmed.c_str(), OnScriptError, OnScriptTextQuiet, OnScriptCodeQuiet);
        RethrowCallbackFailure();
    }
}

void RunScriptText(const std::string& clientLibrary, const std::string& database,
                   const std::string& userName, const std::string& charSet,
                   const std::string& password, const std::string& roleName,
                   const std::string& scriptText, RunWindow* logView, int logMode) {
    ExecScript(true, clientLibrary, database, userName, charSet, password, roleName, scriptText,
               logView, logMode);
}

} // namespace xqv
