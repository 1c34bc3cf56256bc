// The runner's side of the script library contract, without a server. The same program runs
// from three folders: one without a script library (RunnerChecks), one with the stub library
// (RunnerWithStub) and one with a stub that lacks "Connect" (RunnerWithoutConnect).
#include <gtest/gtest.h>
#include "error_of.h"
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>
#include "errors.h"
#include "script_runner.h"
#include "scripted_window.h"
#include "script_library_probe.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kLib = "fbclient.dll";
const std::string kDb = "localhost/3051:C:\\XQV\\OrveLin\\DB_Data\\OrveLin.fdb";

// The message of the error a call raises ("" when it raises none).
template <typename Call> std::string ErrorOf(Call call) {
    return testenv::ErrorOf(call, "");
}

std::string RunText(const std::string& script, xqv::RunWindow* view, int mode,
                    const std::string& password = "pw") {
    return ErrorOf([&] {
        xqv::RunScriptText(kLib, kDb, "SYSDBA", "WIN1251", password, "", script, view, mode);
    });
}

TEST(RunnerChecks, ChecksParametersBeforeLoadingTheLibrary) {
    testenv::ScriptedWindow view;
    auto run = [&](const std::string& lib, const std::string& db, const std::string& user,
                   const std::string& password) {
        return ErrorOf([&] {
            xqv::RunScriptText(lib, db, user, "WIN1251", password, "", "commit;", &view, 1);
        });
    };
    EXPECT_EQ(run(" ", kDb, "SYSDBA", ""), "Не задана клиентская библиотека!");
    EXPECT_EQ(run(kLib, "\t", "SYSDBA", "pw"), "Не задана база данных!");
    EXPECT_EQ(run(kLib, kDb, "", "pw"), "Не задано имя пользователя!");
    EXPECT_EQ(run(kLib, kDb, "SYSDBA", "   "), "Не задан пароль!");
    EXPECT_EQ(RunText(" \r\n \r\n", &view, 1), "Скрипт пустой!");
    EXPECT_TRUE(view.viewLines.empty());
}

TEST(RunnerChecks, ChecksTheScriptFileBeforeLoadingTheLibrary) {
    auto runFile = [](const std::string& path) {
        return ErrorOf([&] {
            xqv::ExecScript(false, kLib, kDb, "SYSDBA", "WIN1251", "pw", "", path, nullptr, 1);
        });
    };
    EXPECT_EQ(runFile(" \r\n"), "Не задан файл скрипта!");
    EXPECT_EQ(runFile("  missing_script.sql \r\n"),
              "Файл скрипта \"missing_script.sql\" не найден!");
    // A folder is no script file.
    EXPECT_EQ(runFile(" . "), "Файл скрипта \".\" не найден!");
    std::ofstream("present_script.sql") << "commit;";
    EXPECT_EQ(runFile("  present_script.sql "),
              "Невозможно загрузить библиотеку \"SqlScript.dll\"!");
}

TEST(RunnerChecks, ReportsAMissingLibrary) {
    EXPECT_EQ(RunText("commit;", nullptr, 1), "Невозможно загрузить библиотеку \"SqlScript.dll\"!");
}

TEST(RunnerWithoutConnect, ReportsTheMissingEntryAndUnloads) {
    EXPECT_EQ(RunText("commit;", nullptr, 1),
              "В библиотеке \"SqlScript.dll\" не найдена функция \"Connect\"!");
    EXPECT_FALSE(testenv::ScriptLibraryLoaded());
}

TEST(RunnerWithStub, ReportsAMissingRunEntry) {
    std::ofstream("stub_script.sql") << "text a";
    EXPECT_EQ(ErrorOf([] {
                  xqv::ExecScript(false, kLib, kDb, "SYSDBA", "WIN1251", "pw", "",
                                  "stub_script.sql", nullptr, 1);
              }),
              "В библиотеке \"SqlScript.dll\" не найдена функция \"ExecScriptFile\"!");
    EXPECT_FALSE(testenv::ScriptLibraryLoaded());
}

TEST(RunnerWithStub, HandsOverTheConnectStringUnchanged) {
    EXPECT_EQ(xqv::ScriptConnectParams(kLib, kDb, "SYSDBA", "WIN1251", "a; b", ""),
              "db_name=" + kDb +
                  "; password=a; b; user_name=SYSDBA; lc_ctype=WIN1251; sql_role_name=; "
                  "sql_dialect=3; clientlib=\"fbclient.dll\"");
    // The stub reports the string it received as its connect error.
    EXPECT_EQ(ErrorOf([] {
                  xqv::RunScriptText(kLib, kDb, "SYSDBA", "WIN1251", "echo; x=1", "ROLE", "text a",
                                     nullptr, 1);
              }),
              "Ошибка подключения к базе данных!\r" +
                  xqv::ScriptConnectParams(kLib, kDb, "SYSDBA", "WIN1251", "echo; x=1", "ROLE"));
    // A connect that answers 0 but reported a message is a failure.
    testenv::ScriptedWindow view;
    EXPECT_EQ(RunText("text a", &view, 1, "echo"),
              "Ошибка подключения к базе данных!\r" +
                  xqv::ScriptConnectParams(kLib, kDb, "SYSDBA", "WIN1251", "echo", ""));
    EXPECT_TRUE(view.viewLines.empty());
    EXPECT_EQ(RunText("text a", &view, 1, "refuse"),
              "Ошибка подключения к базе данных!\rrefused by stub");
    EXPECT_FALSE(testenv::ScriptLibraryLoaded());
}

TEST(RunnerWithStub, VerboseModeLogsStatementsAndRaisesTheLastFailure) {
    testenv::ScriptedWindow view;
    const std::string error =
        RunText("  \r\ntext insert a\r\nfail insert b|first error\r\ntext c\r\n"
                "fail insert d|second error\r\n",
                &view, 1);
    EXPECT_EQ(error, "Ошибка применения скрипта!\r------- STATEMENT --------\rinsert d\r"
                     "-------   ERROR   --------\rsecond error");
    EXPECT_EQ(view.viewLines, (Lines{"insert a", "------- STATEMENT --------", "insert b",
                                     "-------   ERROR   --------", "first error", "answer 1", "c",
                                     "------- STATEMENT --------", "insert d",
                                     "-------   ERROR   --------", "second error", "answer 1"}));
    EXPECT_GE(view.processMessagesCalls, 6);
    EXPECT_TRUE(view.logLines.empty());
    EXPECT_FALSE(testenv::ScriptLibraryLoaded());
}

TEST(RunnerWithStub, QuietModeLogsFailuresButRaisesNothing) {
    testenv::ScriptedWindow view;
    EXPECT_EQ(RunText("text a\r\nfail b|error\r\ntext c", &view, 0), "");
    EXPECT_EQ(view.viewLines,
              (Lines{"------- STATEMENT --------", "b", "-------   ERROR   --------", "error"}));
    // Without a log view nothing is logged, and verbose mode still raises.
    EXPECT_EQ(RunText("fail b|error", nullptr, 1),
              "Ошибка применения скрипта!\r------- STATEMENT --------\rb\r"
              "-------   ERROR   --------\rerror");
}

TEST(RunnerWithStub, PutsTheMismatchNoteInFrontOfAFailedReleaseCheck) {
    const std::string note = "\rВероятно, имеет место несоответствие между версией обновления и "
                             "версией обновляемой базы данных!\r\r";
    EXPECT_EQ(RunText("fail EXECUTE PROCEDURE CHECK_VERSIO(7)|bad version", nullptr, 1),
              "Ошибка применения скрипта!\r" + note +
                  "------- STATEMENT --------\rEXECUTE PROCEDURE CHECK_VERSIO(7)\r"
                  "-------   ERROR   --------\rbad version");
    EXPECT_EQ(RunText("fail /* x */ execute procedure Check_Versio(7)|e", nullptr, 1).find(note),
              std::string("Ошибка применения скрипта!\r").size());
    // Not with a space before the parenthesis, nor when the check is not the last failure.
    EXPECT_EQ(RunText("fail execute procedure Check_Versio (7)|e", nullptr, 1).find(note),
              std::string::npos);
    EXPECT_EQ(
        RunText("fail execute procedure check_versio(7)|e\r\nfail x|e", nullptr, 1).find(note),
        std::string::npos);
}

TEST(RunnerWithStub, HandsTheTrimmedScriptToTheLibrary) {
    testenv::ScriptedWindow view;
    EXPECT_EQ(RunText(" \r\n echo \r\n ", &view, 1), "");
    EXPECT_EQ(view.viewLines, (Lines{"echo"}));
}

// A window whose log view fails.
class FailingWindow : public testenv::ScriptedWindow {
public:
    void AddLogViewLine(const std::string&) override { throw xqv::InOutError("view broken"); }
};

TEST(RunnerWithStub, PassesAWindowFailureOnAfterTheLibraryReturned) {
    FailingWindow view;
    EXPECT_EQ(RunText("text a\r\nfail b|e", &view, 1), "view broken");
    EXPECT_FALSE(testenv::ScriptLibraryLoaded());
}

} // namespace
