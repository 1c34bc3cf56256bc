#include "readiness.h"

#include <windows.h>
#include <exception>
#include "attached_users.h"
#include "database_probe.h"
#include "errors.h"
#include "fb_client.h"
#include "fb_server.h"
#include "run_window.h"
#include "script_directives.h"
#include "script_runner.h"
#include "script_splitter.h"
#include "service_control.h"
#include "system_routines.h"
#include "update.h"
#include "update_run.h"

namespace xqv {

namespace {

using Problems = std::vector<ReadinessProblem>;

// clang-format off
const char* const kRemedyLocation = "Проверьте путь к обновляемой программе в поле «Путь» и установку сервера Firebird на этом компьютере, затем повторите проверку.";
const char* const kRemedyUnfinished = "Восстановите программу из резервной копии, как сказано выше, удалите файл-отметку и повторите проверку.";
const char* const kRemedyLocks = "Закройте все программы, открывшие папки и файлы обновляемой программы (в том числе файл-менеджеры и саму программу), и повторите проверку.";
const char* const kRemedyLocksServer = " Файл базы данных держит открытым и сервер Firebird, пока к ней подключены пользователи; обновление отключает их, прежде чем проверяет блокировки.";
const char* const kRemedyPayload = "Программа обновления повреждена или собрана без клиентских файлов выпуска: возьмите исправную программу обновления.";
const char* const kRemedyClientLibrary = "Установите клиентскую библиотеку Firebird на этот компьютер (в папку программы обновления или в системную папку Windows) и повторите проверку.";
const char* const kRemedyServiceMissing = "Обновление СЕРВЕРНОЙ части выполняется на компьютере, где установлен сервер Firebird с этой базой данных: запустите программу обновления там.";
const char* const kRemedyServiceStopped = "Запустите службу командой меню «Сервис» -> «Запустить службу Firebird-сервера» и повторите проверку.";
const char* const kRemedyAttach = "Проверьте пароль пользователя SYSDBA в поле «Пароль» и что сервер Firebird принимает подключения, затем повторите проверку.";
const char* const kRemedyShutdown = "Переведите базу данных в многопользовательский режим командой меню «Сервис» -> «Перевести базу данных в многопользовательский режим (Online)» и повторите проверку.";
const char* const kRemedyUsers = "Попросите пользователей выйти из программы и повторите проверку. Если продолжить обновление, их подключения будут оборваны принудительно.";
const char* const kRemedyVersion = "Убедитесь, что база данных имеет ту версию, которую обновляет эта программа обновления: база другой версии (в том числе уже обновленная) этим выпуском не обновляется.";
const char* const kRemedyFreeSpace = "Освободите место на диске с базой данных и повторите проверку.";
// clang-format on

void Log(const std::string& text) {
    SaveExceptionToLog(text);
    ProcessMessages();
}

// A finding as one line of the log: line breaks of a quoted error become blanks.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// One check's log line: what was checked, and what was found.
void Finding(const std::string& what, const std::string& found) {
    Log(what + ": " + OneLine(found));
}

// Runs one check; its error is the finding (failure). A failure of the log itself is no finding:
// it ends the whole check as an error, so that a check nobody could follow never reads "ready".
template <typename Check> bool Passes(Check&& check, std::string& failure) {
    try {
        check();
        return true;
    } catch (const InOutError&) {
        throw;
    } catch (const SilentAbort&) {
        throw;
    } catch (const std::exception& e) {
        failure = e.what();
        return false;
    }
}

const std::string& ClientLibrary() {
    return Window().Profile().ClientLibraryName;
}

std::string JoinedNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : "; ") + name;
    return text;
}

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return length == 0 || length >= sizeof path ? "" : FolderPart(path);
}

// The location and its parts, and the server discovery, as the run's first stages find them.
// False when nothing else can be checked.
bool CheckLocation(const std::string& location, const std::string& projectName,
                   Problems& problems) {
    std::string failure, parts;
    if (!Passes([&] { InitVariables(location); }, failure) ||
        !Passes([&] { parts = FoundPartsText(location, projectName); }, failure)) {
        Finding("Путь к обновляемой программе и сервер Firebird", failure);
        problems.push_back({failure, kRemedyLocation});
        return false;
    }
    Finding("Части программы", "в каталоге \"" + location + "\" обнаружены " + parts +
                                   " программы \"" + projectName + "\"");
    if (FbServParams.ServerType.empty())
        Finding("Сервер Firebird", "на этом компьютере не обнаружен");
    else
        Finding("Сервер Firebird", "обнаружен сервер " + FbServParams.ServerType + ", служба \"" +
                                       FbServParams.ServiceName + "\"");
    return true;
}

// An update that was ended half-way makes every new run refuse until its backup is restored.
void CheckUnfinishedRun(Problems& problems) {
    std::string failure;
    const std::string what = "Незавершенное предыдущее обновление";
    if (Passes([] { RefuseAfterUnfinishedRun(); }, failure)) {
        Finding(what, "не обнаружено");
        return;
    }
    Finding(what, failure);
    problems.push_back({failure, kRemedyUnfinished});
}

// The run's own lock check: the location renamed and renamed back.
void CheckLocks(Problems& problems) {
    std::string failure;
    const std::string what = "Блокировки папки " + Context.ProgramLocation;
    if (Passes([] { CheckFolderLocks(); }, failure)) {
        Finding(what, "не обнаружены");
        return;
    }
    Finding(what, failure);
    problems.push_back(
        {failure, std::string(kRemedyLocks) + (Context.ServerPartFound ? kRemedyLocksServer : "")});
}

// A folder of the system's temporary folder, removed with everything in it when it goes.
class ScratchFolder {
public:
    ScratchFolder() {
        char temp[MAX_PATH] = {};
        const DWORD length = GetTempPathA(sizeof temp, temp);
        if (length == 0 || length >= sizeof temp)
            throw Error("Невозможно определить временную папку Windows!");
        SYSTEMTIME now = {};
        GetLocalTime(&now);
        path_ = JoinPath(temp, "XqvReady" + TimeStampText(now) + "_" +
                                   std::to_string(GetCurrentProcessId()));
        CreateFolder(path_);
    }
    ~ScratchFolder() {
        try {
            DeleteFolder(path_);
        } catch (const std::exception&) {
            // Only a file of the system's temporary folder can stay behind.
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The payload unpacks as the run unpacks it (into a folder of its own outside the installation)
// and brings the release's client files.
void CheckPayload(Problems& problems) {
    std::string failure, missing;
    const bool unpacked = Passes(
        [&] {
            ScratchFolder folder;
            UnpackPayload(folder.Path());
            for (const char* name : kReleaseClientFiles)
                if (!FileExists(JoinPath(folder.Path(), name)))
                    missing += (missing.empty() ? "" : ", ") + std::string(name);
        },
        failure);
    const std::string what = "Пакет обновления";
    if (!unpacked) {
        Finding(what, failure);
        problems.push_back({"Пакет обновления не распаковывается: " + failure, kRemedyPayload});
    } else if (Context.ClientPartFound && !missing.empty()) {
        const std::string found = "в пакете обновления нет клиентских файлов выпуска: " + missing;
        Finding(what, found);
        problems.push_back({found, kRemedyPayload});
    } else if (Context.ClientPartFound) {
        Finding(what, "распаковывается, клиентские файлы выпуска на месте");
    } else {
        Finding(what, "распаковывается");
    }
}

// The program's own folder: the script library and the client library load.
void CheckLibraries(Problems& problems) {
    std::string failure;
    const std::string folder = ExeFolder();
    if (Passes([] { CheckScriptLibrary(); }, failure)) {
        Finding("Библиотека SqlScript.dll",
                "загружается, функции Connect, ExecScriptText и ExecScriptFile найдены");
    } else {
        Finding("Библиотека SqlScript.dll", failure);
        problems.push_back({failure, "Положите файл SqlScript.dll из комплекта программы "
                                     "обновления в ее папку " +
                                         folder + " и повторите проверку."});
    }
    const std::string what = "Клиентская библиотека " + ClientLibrary();
    if (Passes([] { fb::ClientLibrary::Load(ClientLibrary()); }, failure)) {
        Finding(what, "загружается");
    } else {
        Finding(what, failure);
        problems.push_back({failure, kRemedyClientLibrary});
    }
}

// True when the database can be asked: the service of the server found runs (or no service was
// found, when a server may still answer).
bool CheckService(Problems& problems) {
    const std::string& service = FbServParams.ServiceName;
    if (service.empty()) {
        const std::string found = "служба сервера Firebird на этом компьютере не обнаружена: "
                                  "обновление не сможет ее остановить и запустить";
        Finding("Служба Firebird-сервера", found);
        problems.push_back({"Служба Firebird-сервера на этом компьютере не обнаружена: "
                            "обновление не сможет ее остановить и запустить.",
                            kRemedyServiceMissing});
        return true;
    }
    const std::string what = "Служба Firebird-сервера \"" + service + "\"";
    if (GetServiceState("", service) == SERVICE_RUNNING) {
        Finding(what, "запущена");
        return true;
    }
    Finding(what, "не запущена");
    problems.push_back(
        {"Служба Firebird-сервера \"" + service + "\" не запущена.", kRemedyServiceStopped});
    return false;
}

// The users attached, through the attachment that also proves the password. False when the
// database could not be attached.
bool CheckAttachment(const std::string& password, Problems& problems) {
    std::vector<std::string> users;
    std::string failure;
    if (!Passes(
            [&] {
                GetAttachedUsers(ClientLibrary(), Context.DbConnectString, "SYSDBA", password, "",
                                 users);
            },
            failure)) {
        Finding("Подключение к базе данных " + Context.DbConnectString, failure);
        problems.push_back({"Не удалось подключиться к базе данных " + Context.DbConnectString +
                                " с заданным паролем:\r" + failure,
                            kRemedyAttach});
        return false;
    }
    Finding("Подключение к базе данных " + Context.DbConnectString, "выполнено с заданным паролем");
    // Only a super server tells who is attached; the run warns about any other kind as a whole.
    if (FbServParams.ServerType != "SUPER") {
        Finding("Подключенные пользователи",
                "сервер этого вида не сообщает их; обновление предупредит, что оборвет все "
                "подключения к базам данных этого сервера");
    } else if (users.empty()) {
        Finding("Подключенные пользователи", "нет");
    } else {
        Finding("Подключенные пользователи", JoinedNames(users));
        problems.push_back(
            {"К базе данных подключены пользователи: " + JoinedNames(users) + ".", kRemedyUsers});
    }
    return true;
}

void CheckMode(const std::string& password, Problems& problems) {
    std::string failure;
    long mode = 0;
    const std::string what = "Режим базы данных";
    if (!Passes(
            [&] {
                mode =
                    ReadShutdownMode(ClientLibrary(), Context.DbConnectString, "SYSDBA", password);
            },
            failure)) {
        Finding(what, "не определен: " + failure);
        problems.push_back({"Не удалось определить режим базы данных: " + failure, kRemedyAttach});
        return;
    }
    if (mode == 0) {
        Finding(what, "многопользовательский (Online)");
        return;
    }
    Finding(what, "однопользовательский (Shutdown)");
    problems.push_back({"База данных уже находится в однопользовательском режиме (Shutdown): "
                        "обновление не сможет перевести ее в этот режим и остановится.",
                        kRemedyShutdown});
}

// The release check of the embedded script, in a transaction that is rolled back.
void CheckReleaseVersion(const std::string& password, Problems& problems) {
    std::string failure, statement;
    const std::string what = "Проверка версии базы данных";
    if (!Passes([&] { statement = FirstExecutableStatement(LoadResourceText("script", "TEXT")); },
                failure)) {
        Finding(what, failure);
        problems.push_back({failure, kRemedyPayload});
        return;
    }
    if (!IsReleaseCheck(statement)) {
        Finding(what, "не выполнялась: скрипт обновления не начинается с проверки версии");
        return;
    }
    if (Passes(
            [&] {
                ExecuteRolledBack(ClientLibrary(), Context.DbConnectString, "SYSDBA", password,
                                  statement);
            },
            failure)) {
        Finding(what, statement + " - версия подходит (транзакция отменена)");
        return;
    }
    const std::string report = ScriptFailureText(statement, failure);
    Finding(what, "не пройдена (транзакция отменена): " + report);
    problems.push_back({"Проверка версии базы данных не пройдена:\r" + report, kRemedyVersion});
}

// The free space the run's check asks for, with the database file's size as its folder lists
// it: the running server holds the file open.
void CheckFreeSpace(Problems& problems) {
    const ProjectProfile& profile = Window().Profile();
    const std::string file = JoinPath(Context.DatabaseDir, profile.DatabaseFileName);
    const std::string root = DrivePart(Context.DatabaseDir) + "\\";
    const std::string what = "Свободное место на диске \"" + root + "\"";
    const int32_t sizeMb = GetListedFileSizeScaled(file, 20);
    std::string failure;
    if (sizeMb == -1) {
        failure = "Невозможно определить размер файла базы данных " + file + "!";
    } else if (Passes(
                   [&] {
                       CheckFreeSizeFor(sizeMb, root,
                                        static_cast<uint8_t>(profile.FreeSpaceFactor));
                   },
                   failure)) {
        const int64_t required = int64_t(sizeMb) * static_cast<uint8_t>(profile.FreeSpaceFactor);
        Finding(what, "достаточно (требуется не менее " + std::to_string(required) + " МБ)");
        return;
    }
    Finding(what, failure);
    problems.push_back({failure, kRemedyFreeSpace});
}

void CheckServerPart(const std::string& password, Problems& problems) {
    CheckLibraries(problems);
    if (CheckService(problems)) {
        if (CheckAttachment(password, problems)) {
            CheckMode(password, problems);
            CheckReleaseVersion(password, problems);
        } else {
            Log("Режим базы данных, подключенные пользователи и версия базы данных не "
                "проверялись: нет подключения к базе данных.");
        }
    } else {
        Log("Подключение к базе данных, ее режим, подключенные пользователи и версия не "
            "проверялись: служба Firebird-сервера не запущена.");
    }
    CheckFreeSpace(problems);
}

} // namespace

std::string FirstExecutableStatement(const std::string& script) {
    script::StatementSplitter splitter(script);
    script::Statement statement;
    while (splitter.Next(statement))
        if (script::ParseDirective(statement.text).kind == script::DirectiveKind::None)
            return std::string(statement.text);
    return "";
}

std::string ReadinessReport(const std::vector<ReadinessProblem>& problems) {
    if (problems.empty())
        return "Все проверки пройдены: программа готова к обновлению.\r\rНичего не изменено.";
    std::string text =
        "Обновление сейчас не пройдет. Обнаружено проблем: " + std::to_string(problems.size()) +
        ".";
    int number = 0;
    for (const ReadinessProblem& problem : problems)
        text += "\r\r" + std::to_string(++number) + ". " + problem.finding + "\r" +
                "Что сделать: " + problem.remedy;
    return text + "\r\rНичего не изменено.";
}

void CheckUpdateReadiness(const std::string& location, const std::string& password,
                          const std::string& projectName) {
    Log("Проверка готовности к обновлению (ничего не изменяется)");
    Problems problems;
    if (CheckLocation(location, projectName, problems)) {
        CheckUnfinishedRun(problems);
        CheckLocks(problems);
        CheckPayload(problems);
        if (Context.ServerPartFound)
            CheckServerPart(password, problems);
        else
            Log("СЕРВЕРНАЯ часть не обнаружена: библиотеки, служба и база данных не проверялись.");
    }
    Log(problems.empty() ? "Проверка готовности к обновлению завершена: программа готова к "
                           "обновлению."
                         : "Проверка готовности к обновлению завершена: обнаружено проблем: " +
                               std::to_string(problems.size()) + ".");
    Window().ShowMessage(ReadinessReport(problems), MessageKind::Information, DialogButtons::Ok,
                         DialogAnswer::Ok);
}

} // namespace xqv
