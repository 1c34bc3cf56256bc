// The readiness check through the real updater under Wine, against the test service and the
// test server: what it reports for a ready installation and for each obstacle, and, after every
// case, that it changed nothing (the installation's files, the database's mode and version, no
// attachment or transaction left behind, the service still running).
#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "db_services.h"
#include "fb_service_fixture.h"
#include "script_db.h"
#include "server_support.h"
#include "service_control.h"
#include "updater_window.h"

namespace {

using namespace e2e;
const std::string kRoot = "C:\\xqvtest\\ready";
const char* const kService = "VelmoraFireXBirdServer";
// The small drive of the test environment.
const std::string kSmallDrive = "S:\\";

// clang-format off
const char* const kReady = "Все проверки пройдены: программа готова к обновлению.\r\rНичего не изменено.";
const char* const kVersionMismatchNote = "\rВероятно, имеет место несоответствие между версией обновления и версией обновляемой базы данных!\r\r";
// clang-format on

class Readiness : public UpdaterWindow {
protected:
    // One server installation for every case: the check never touches the service.
    static void SetUpTestSuite() { testenv::InstallFbServer(testenv::FbInstallation::VendorSuper); }
    static void TearDownTestSuite() { testenv::RestoreFbServer(); }

    void SetUp() override {
        testfiles::FreshFolder(kRoot);
        location = kRoot + "\\OrveLin";
    }
    void TearDown() override {
        UpdaterWindow::TearDown();
        others.clear();
        if (db) {
            try {
                xqv::BringDatabaseOnline("fbclient.dll", db->Database(), testenv::FbUser(),
                                         testenv::FbPassword());
            } catch (const xqv::Error&) {
                // Online already.
            }
            db.reset();
        }
        testfiles::RemoveTree(kRoot);
        if (location.rfind(kSmallDrive, 0) == 0) testfiles::RemoveTree(kSmallDrive + "xqv");
    }

    // "Program" with the previous client; with server, "DB_Data" with the sample database at
    // version 6 on the test server.
    void MakeInstallation(const std::string& where, bool server = true) {
        testfiles::WriteTree(where + "\\Program\\OrveLin.exe", "старый клиент 6.0");
        testfiles::WriteTree(where + "\\Program\\OrveLin.chm", "старая справка 6.0");
        testfiles::WriteTree(where + "\\Program\\Отчеты\\шаблон.frx", "шаблон отчета");
        if (!server) return;
        db = std::make_unique<testenv::ScriptDatabase>("OrveLin", where + "\\DB_Data");
        db->CreateVersion6();
    }

    // What the check must leave as it was. The database file itself is compared by what it
    // holds: the server writes its header whenever anyone attaches.
    struct State {
        std::map<std::string, std::string> files;
        long mode = 0, version = 0, attachments = 0, transactions = 0;
        bool operator==(const State& o) const {
            return files == o.files && mode == o.mode && version == o.version &&
                   attachments == o.attachments && transactions == o.transactions;
        }
    };
    State Take() {
        State state;
        state.files = testfiles::Snapshot(location);
        const std::string databaseFile = "DB_Data\\OrveLin.fdb";
        if (state.files.count(databaseFile))
            state.files[databaseFile] = std::to_string(state.files[databaseFile].size());
        if (!db) return state;
        state.mode = Number("SELECT MON$SHUTDOWN_MODE FROM MON$DATABASE");
        state.version = Number("SELECT MAX(VERSIO_NO) FROM VERSIO");
        state.attachments = Number("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$SYSTEM_FLAG = 0 "
                                   "AND MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
        state.transactions =
            Number("SELECT COUNT(*) FROM MON$TRANSACTIONS T JOIN MON$ATTACHMENTS A ON "
                   "A.MON$ATTACHMENT_ID = T.MON$ATTACHMENT_ID WHERE A.MON$SYSTEM_FLAG = 0 AND "
                   "A.MON$ATTACHMENT_ID <> CURRENT_CONNECTION");
        return state;
    }
    long Number(const std::string& sql) { return dbtest::QueryNumber(db->Database(), sql); }

    // Chooses the check in the updater (started unless it runs), returns the closing dialog's
    // text with OK pressed, and checks that nothing changed.
    std::string CheckReadiness(const std::string& password = testenv::FbPassword()) {
        if (!program) OpenUpdater(exe);
        if (!hwnd) return "(no window)";
        TypeLocation(location);
        TypePassword(password);
        const State before = Take();
        ChooseMenu(ids::mmOperations_CheckReadiness);
        Dialog report = WaitDialog("Information", 120);
        if (!report.hwnd) return "(no dialog) " + ViewText();
        // The input controls stay disabled until the check has ended.
        EXPECT_FALSE(IsWindowEnabled(gui::FindControl(hwnd, ids::OKBtn)));
        Screenshot("e2e-readiness-" + CurrentTestName() + ".bmp");
        Answer(report.hwnd, "OK");
        EXPECT_TRUE(gui::WaitVisible(hwnd, 10));
        for (int i = 0; i < 100 && !IsWindowEnabled(gui::FindControl(hwnd, ids::OKBtn)); ++i)
            Sleep(100);
        EXPECT_TRUE(IsWindowEnabled(gui::FindControl(hwnd, ids::OKBtn)));
        EXPECT_TRUE(Take() == before) << "the check changed something";
        EXPECT_FALSE(testfiles::Exists(location + "_"));
        EXPECT_EQ(xqv::GetServiceState("", kService), DWORD(SERVICE_RUNNING));
        EXPECT_TRUE(testenv::FbServerListening());
        return report.text;
    }

    // The problems of a report, each "finding\rЧто сделать: remedy".
    static std::vector<std::string> Problems(const std::string& report) {
        std::vector<std::string> problems;
        for (size_t at = report.find("\r\r1. "); at != std::string::npos;) {
            const std::string next = "\r\r" + std::to_string(problems.size() + 2) + ". ";
            const size_t end = report.find(next, at + 1);
            const size_t start = report.find(". ", at) + 2;
            const size_t stop =
                end == std::string::npos ? report.rfind("\r\rНичего не изменено.") : end;
            problems.push_back(report.substr(start, stop - start));
            at = end;
        }
        return problems;
    }

    // The report's only problem, which must begin with start; empty (and a failure) when the
    // report has not exactly one.
    static std::string OnlyProblem(const std::string& report, const std::string& start) {
        const std::vector<std::string> problems = Problems(report);
        EXPECT_EQ(problems.size(), 1u) << testing::PrintToString(problems);
        if (problems.size() != 1) return "";
        EXPECT_EQ(problems[0].rfind(start, 0), 0u) << problems[0];
        return problems[0];
    }

    std::string location;
    std::string exe = "Updater_OrveLin.exe";
    std::unique_ptr<testenv::ScriptDatabase> db;
    std::vector<std::unique_ptr<xqv::fb::Attachment>> others;
};

// Everything passes; the release check ran and was rolled back: a check procedure that writes a
// row leaves none behind.
TEST_F(Readiness, ReadyServerInstallationPassesEveryCheckAndCommitsNothing) {
    MakeInstallation(location);
    dbtest::Execute(db->Database(), "CREATE TABLE READINESS_TRACE (N INTEGER)");
    dbtest::Execute(db->Database(),
                    "CREATE OR ALTER PROCEDURE CHECK_VERSIO (NEW_VERSIO INTEGER) AS "
                    "DECLARE VARIABLE CUR_VERSIO INTEGER; BEGIN "
                    "INSERT INTO READINESS_TRACE VALUES (:NEW_VERSIO); "
                    "SELECT MAX(VERSIO_NO) FROM VERSIO INTO :CUR_VERSIO; "
                    "IF (CUR_VERSIO <> NEW_VERSIO - 1) THEN EXCEPTION E_VERSIO_MISMATCH; END");
    EXPECT_EQ(CheckReadiness(), kReady);
    EXPECT_EQ(Number("SELECT COUNT(*) FROM READINESS_TRACE"), 0);

    const std::string c = "localhost/3051:" + location + "\\DB_Data\\OrveLin.fdb";
    const std::vector<std::string> lines = {
        "Проверка готовности к обновлению (ничего не изменяется)",
        "Инициализация переменных...",
        "Завершена инициализация переменных",
        "Части программы: в каталоге \"" + location +
            "\" обнаружены КЛИЕНТСКАЯ и СЕРВЕРНАЯ части программы \"Orvelin\"",
        "Сервер Firebird: обнаружен сервер SUPER, служба \"VelmoraFireXBirdServer\"",
        "Проверка наличия блокировок каталогов/файлов",
        "Завершена проверка наличия блокировок каталогов/файлов",
        "Блокировки папки " + location + ": не обнаружены",
        "Пакет обновления: распаковывается, клиентские файлы выпуска на месте",
        "Библиотека SqlScript.dll: загружается, функции Connect, ExecScriptText и ExecScriptFile "
        "найдены",
        "Клиентская библиотека fbclient.dll: загружается",
        "Служба Firebird-сервера \"VelmoraFireXBirdServer\": запущена",
        "Подключение к базе данных " + c + ": выполнено с заданным паролем",
        "Подключенные пользователи: нет",
        "Режим базы данных: многопользовательский (Online)",
        "Проверка версии базы данных: execute procedure Check_Versio(7) - версия подходит "
        "(транзакция отменена)",
        "Свободное место на диске \"C:\\\": достаточно (требуется не менее ",
        "Проверка готовности к обновлению завершена: программа готова к обновлению."};
    ExpectInOrder(ViewText(), lines);
    ExpectInOrder(LogBytes(), lines);
}

TEST_F(Readiness, WrongPasswordIsAFindingWithWhatToDo) {
    MakeInstallation(location);
    const std::string problem =
        OnlyProblem(CheckReadiness("wrong3051"),
                    "Не удалось подключиться к базе данных localhost/3051:" + location +
                        "\\DB_Data\\OrveLin.fdb с заданным паролем:\r");
    EXPECT_NE(problem.find("Your user name and password are not defined"), std::string::npos);
    EXPECT_NE(problem.find("\rЧто сделать: Проверьте пароль пользователя SYSDBA"),
              std::string::npos);
    EXPECT_NE(ViewText().find("Режим базы данных, подключенные пользователи и версия базы данных "
                              "не проверялись: нет подключения к базе данных."),
              std::string::npos);
}

// Two other attachments are named, and left attached.
TEST_F(Readiness, AttachedUsersAreNamedAndLeftAlone) {
    MakeInstallation(location);
    dbtest::Execute(db->Database(), "CREATE OR ALTER USER MANAGER PASSWORD 'mgr3051'");
    others.push_back(dbtest::AttachAs(db->Database(), testenv::FbUser(), testenv::FbPassword()));
    others.push_back(dbtest::AttachAs(db->Database(), "MANAGER", "mgr3051"));
    OnlyProblem(CheckReadiness(), "К базе данных подключены пользователи: MANAGER; SYSDBA.\r"
                                  "Что сделать: Попросите пользователей выйти");
    EXPECT_NE(ViewText().find("Подключенные пользователи: MANAGER; SYSDBA"), std::string::npos);
}

TEST_F(Readiness, DatabaseAlreadyInShutdownStaysThere) {
    MakeInstallation(location);
    xqv::ShutdownDatabase("fbclient.dll", db->Database(), testenv::FbUser(), testenv::FbPassword());
    const std::string report = CheckReadiness();
    EXPECT_NE(Number("SELECT MON$SHUTDOWN_MODE FROM MON$DATABASE"), 0);
    const std::string problem =
        OnlyProblem(report, "База данных уже находится в однопользовательском режиме (Shutdown)");
    EXPECT_NE(problem.find("«Перевести базу данных в многопользовательский режим (Online)»"),
              std::string::npos);
}

// A database the release has already updated fails the release check with the run's note.
TEST_F(Readiness, DatabaseAtTheReleaseVersionGetsTheVersionMismatchNote) {
    MakeInstallation(location);
    dbtest::Execute(db->Database(), "UPDATE VERSIO SET VERSIO_NO = 7");
    const std::string report = CheckReadiness();
    EXPECT_EQ(Number("SELECT MAX(VERSIO_NO) FROM VERSIO"), 7);
    const std::string problem = OnlyProblem(
        report, std::string("Проверка версии базы данных не пройдена:\r") + kVersionMismatchNote +
                    "------- STATEMENT --------\rexecute procedure "
                    "Check_Versio(7)\r-------   ERROR   --------\r");
    EXPECT_NE(problem.find("E_VERSIO_MISMATCH"), std::string::npos) << problem;
}

// The location's parent made immutable on the Unix side: the rename of the lock check fails.
TEST_F(Readiness, FolderThatCannotBeRenamedIsReported) {
    MakeInstallation(location);
    const std::string unixRoot = testfiles::UnixPath(kRoot);
    if (testfiles::RunUnix("chattr +i '" + unixRoot + "'") != 0)
        GTEST_SKIP() << "the file system cannot make a folder immutable";
    const std::string report = CheckReadiness();
    testfiles::RunUnix("chattr -i '" + unixRoot + "'");
    const std::string problem =
        OnlyProblem(report, "Невозможно получить полный доступ к папке " + location + ".\r");
    EXPECT_NE(problem.find("\rЧто сделать: Закройте все программы"), std::string::npos);
}

// The updater alone in a folder of its own, without the script library beside it, started there
// (the library would also be found in the current folder).
TEST_F(Readiness, MissingScriptLibraryIsReported) {
    MakeInstallation(location);
    const std::string folder = kRoot + "\\alone";
    testfiles::MakeFolders(folder);
    for (const char* file : {"Updater_OrveLin.exe", "fbclient.dll"})
        ASSERT_TRUE(
            CopyFileA((ExeFolder() + "\\" + file).c_str(), (folder + "\\" + file).c_str(), FALSE));
    program = std::make_unique<gui::Program>(folder + "\\Updater_OrveLin.exe", folder);
    ASSERT_TRUE(program->Started());
    title = "Updater_OrveLin";
    hwnd = gui::WaitWindow(title, 30);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(gui::WaitVisible(hwnd, 10));
    const std::string problem = OnlyProblem(CheckReadiness(), "");
    EXPECT_EQ(problem, "Невозможно загрузить библиотеку \"SqlScript.dll\"!\rЧто сделать: "
                       "Положите файл SqlScript.dll из комплекта программы обновления в ее "
                       "папку " +
                           folder + " и повторите проверку.");
}

// A test build asks for 200 times the database's size, more than the small drive holds.
TEST_F(Readiness, TooLittleFreeSpaceIsReported) {
    const std::string drive = kSmallDrive;
    ULARGE_INTEGER total = {}, free = {};
    if (GetDriveTypeA(drive.c_str()) != DRIVE_FIXED ||
        !GetDiskFreeSpaceExA(drive.c_str(), &free, &total, nullptr) || total.QuadPart > 64ull << 20)
        GTEST_SKIP() << "the test environment has no small drive S:";
    testfiles::RemoveTree(drive + "xqv");
    location = drive + "xqv\\OrveLin";
    MakeInstallation(location);
    exe = "Updater_FreeSpace200.exe";
    const std::string problem =
        OnlyProblem(CheckReadiness(), "Для записи файла на диск \"S:\\\"требуется не менее ");
    EXPECT_NE(problem.find("\rЧто сделать: Освободите место"), std::string::npos);
}

// Only the client part: the server's checks do not apply and do not run.
TEST_F(Readiness, ClientOnlyLocationRunsOnlyTheChecksThatApply) {
    MakeInstallation(location, false);
    EXPECT_EQ(CheckReadiness(), kReady);
    const std::string view = ViewText();
    ExpectInOrder(view, {"обнаружены КЛИЕНТСКАЯ часть программы \"Orvelin\"",
                         "Незавершенное предыдущее обновление: не обнаружено",
                         "Блокировки папки " + location + ": не обнаружены",
                         "Пакет обновления: распаковывается, клиентские файлы выпуска на месте",
                         "СЕРВЕРНАЯ часть не обнаружена: библиотеки, служба и база данных не "
                         "проверялись."});
    for (const char* serverCheck : {"SqlScript.dll", "Служба Firebird-сервера", "Подключение",
                                    "Режим базы данных", "Проверка версии", "Свободное место"})
        EXPECT_EQ(view.find(serverCheck), std::string::npos) << serverCheck;
}

// The leftover of a run that was ended half-way: the run would refuse, so the check says so,
// with the backup to restore from, and touches nothing.
TEST_F(Readiness, LeftoverOfAnUnfinishedRunIsReported) {
    MakeInstallation(location, false);
    const std::string temp = location + "\\Tmp$20261209_101010";
    testfiles::WriteTree(temp + "\\Old\\Program\\OrveLin.exe", "старый клиент 6.0");
    testfiles::WriteTree(temp + "\\Обновление не завершено.txt", "отметка");
    const std::string problem =
        OnlyProblem(CheckReadiness(), "Предыдущее обновление программы в каталоге \"" + location +
                                          "\" не было завершено");
    EXPECT_NE(problem.find("Резервная копия находится в папке " + temp + "\\Old."),
              std::string::npos)
        << problem;
    EXPECT_NE(problem.find("\rЧто сделать: Восстановите программу из резервной копии"),
              std::string::npos);
    EXPECT_NE(ViewText().find("Незавершенное предыдущее обновление: Предыдущее обновление"),
              std::string::npos);
}

} // namespace
