// Nothing lost under faults. A test build of the updater (Updater_Faults.exe: the fault points of
// the engine compiled in, the pause after the service stop shortened) is told to fail at every
// point of the run, on a client-only installation and on a client-and-server one, and to stop
// at the stage boundaries of a server run so that the test can kill it there. After each run the
// installation, the database, the service, the messages and the temporary folder are checked.
#include <windows.h>
#include <gtest/gtest.h>
#include <chrono>
#include <cstdio>
#include <map>
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

const std::string kRoot = "C:\\xqvtest\\faults";
const std::string kMasterRoot = "C:\\xqvtest\\faults-master";
const char* const kExe = "Updater_Faults.exe";
const char* const kService = "VelmoraFireXBirdServer";
const char* const kMarker = "Обновление не завершено.txt";
const char* const kSuccess = "Обновление прошло успешно.\r\nЗавершите работу с программой.";
const char* const kAborted = "Обновление прервано!";
const char* const kRolledBack = "Обновление прошло с ошибками!\r\nОткат изменений завершен.";
// clang-format off
const char* const kShutdownFailed = "Программе обновления не удалось перевести базу данных (сервер) в однопользовательский режим (Shutdown mode).";
const char* const kUnfinished = "Предыдущее обновление программы в каталоге \"";
// clang-format on

std::string Injected(const std::string& point) {
    return "Сбой, внесенный тестом в точке " + point + ".";
}

// What a run is expected to leave behind when the fault hits at its point.
enum class Expect {
    Untouched,  // before the backup was complete: nothing changed, no temporary folder
    RolledBack, // during the update stage: everything restored, the backup kept
    RestoreCut, // the restore itself failed: the backup kept, marked, its path in the log
    Updated,    // the update had finished: the new release, online, the failure reported
};

struct MatrixRow {
    const char* label;  // the point as the table shows it
    const char* points; // what the updater is told
    Expect expect;
    bool serverOnly; // the point lies in a stage that runs for the server part only
};

const MatrixRow kRows[] = {
    {"before-6", "before-6", Expect::Untouched, false},
    {"after-6", "after-6", Expect::Untouched, false},
    {"before-7", "before-7", Expect::Untouched, false},
    {"after-7", "after-7", Expect::Untouched, false},
    {"before-8", "before-8", Expect::Untouched, false},
    {"in-8 (backup, 1st file)", "in-8", Expect::Untouched, false},
    {"after-8", "after-8", Expect::Untouched, false},
    {"before-9", "before-9", Expect::RolledBack, false},
    {"script (statement fails)", "script", Expect::RolledBack, true},
    {"after-9", "after-9", Expect::RolledBack, false},
    {"before-10", "before-10", Expect::RolledBack, false},
    {"in-10 (client, 1st file)", "in-10", Expect::RolledBack, false},
    {"after-10", "after-10", Expect::RolledBack, false},
    {"before-11", "before-11", Expect::RolledBack, false},
    {"after-11", "after-11", Expect::RolledBack, false},
    {"in-restore (after-10)", "after-10,in-restore", Expect::RestoreCut, false},
    {"before-12", "before-12", Expect::Updated, true},
    {"after-12", "after-12", Expect::Updated, true},
};

// The messages a fault at these points must leave in the error text.
std::vector<std::string> InjectedTexts(const std::string& points) {
    std::vector<std::string> texts;
    for (size_t start = 0; start <= points.size();) {
        size_t end = points.find(',', start);
        if (end == std::string::npos) end = points.size();
        const std::string point = points.substr(start, end - start);
        texts.push_back(point == "script" ? "FAULT_INJECTED_BY_TEST" : Injected(point));
        start = end + 1;
    }
    return texts;
}

class Faults : public UpdaterWindow {
protected:
    void SetUp() override {
        testfiles::FreshFolder(kRoot);
        SetEnvironmentVariableA("XQV_FAULT_REACHED", Reached().c_str());
    }
    void TearDown() override {
        UpdaterWindow::TearDown();
        SetEnvironmentVariableA("XQV_FAULT_POINTS", nullptr);
        SetEnvironmentVariableA("XQV_FAULT_REACHED", nullptr);
        testenv::RestoreFbServer();
        testfiles::RemoveTree(kRoot);
    }
    static void TearDownTestSuite() {
        master.reset();
        testfiles::RemoveTree(kMasterRoot);
    }

    static std::string Reached() { return kRoot + "\\reached.txt"; }

    // The sample database at version 6, made once for all tests; each server installation gets
    // a copy, so that each run works on a file of its own.
    static void MakeMaster() {
        if (master) return;
        master = std::make_unique<testenv::ScriptDatabase>("OrveLin", kMasterRoot);
        master->CreateVersion6();
    }

    struct Installation {
        std::string location;
        std::string database; // the connection string, "" for a client-only installation
        std::map<std::string, std::string> programBefore;
        std::string Program() const { return location + "\\Program"; }
        std::string DbFile() const { return location + "\\DB_Data\\OrveLin.fdb"; }
    };

    Installation MakeInstallation(const std::string& name, bool server) {
        Installation i;
        i.location = kRoot + "\\" + name + "\\OrveLin";
        testfiles::WriteTree(i.Program() + "\\OrveLin.exe", "старый клиент 6.0");
        testfiles::WriteTree(i.Program() + "\\OrveLin.chm", "старая справка 6.0");
        testfiles::WriteTree(i.Program() + "\\Отчеты\\шаблон.frx", "шаблон отчета");
        testfiles::WriteTree(i.Program() + "\\Отчеты\\счет.frx", "счет");
        i.programBefore = testfiles::Snapshot(i.Program());
        if (server) {
            testfiles::MakeFolders(i.location + "\\DB_Data");
            EXPECT_TRUE(
                CopyFileA((kMasterRoot + "\\OrveLin.fdb").c_str(), i.DbFile().c_str(), FALSE));
            i.database = "localhost/" + testenv::FbPort() + ":" + i.DbFile();
        }
        return i;
    }

    // Waits until the updater has stopped at point.
    static bool WaitReached(const std::string& point) {
        for (int wait = 0; wait < 1200; ++wait, Sleep(100))
            if (testfiles::ReadBytes(Reached()) == point) return true;
        return false;
    }

    static void Arm(const std::string& points) {
        SetEnvironmentVariableA("XQV_FAULT_POINTS", points.empty() ? nullptr : points.c_str());
    }

    // Start, Yes; nobody else is attached, so no warning follows.
    void Run(const Installation& i) {
        OpenUpdater(kExe);
        TypeLocation(i.location);
        PostMessageA(gui::FindControl(hwnd, ids::OKBtn), BM_CLICK, 0, 0);
        HWND question = WaitQuestion();
        ASSERT_NE(question, nullptr);
        Answer(question, "&Yes");
    }

    // A run of the installation, its process ended from outside (the harshest stop there is)
    // once it has reached point.
    void KillAt(const Installation& i, const std::string& point) {
        DeleteFileA(Reached().c_str());
        Arm(point + ":stop");
        ASSERT_NO_FATAL_FAILURE(Run(i));
        ASSERT_TRUE(WaitReached(point));
        ASSERT_TRUE(TerminateProcess(program->pi.hProcess, 1));
        ASSERT_TRUE(program->WaitExit(30));
        program.reset();
        hwnd = nullptr;
        Arm("");
    }

    // The window refuses to close while its Start command is still winding up: asked again
    // until it goes.
    void CloseUpdater() {
        bool closed = !program;
        for (int second = 0; second < 30 && !closed; ++second) {
            if (hwnd && IsWindow(hwnd)) PostMessageA(hwnd, WM_CLOSE, 0, 0);
            closed = program->WaitExit(1);
        }
        if (!closed) ADD_FAILURE() << "the updater did not close";
        program.reset();
        hwnd = nullptr;
    }

    static long Number(const Installation& i, const char* sql) {
        try {
            return dbtest::QueryNumber(i.database, sql);
        } catch (const std::exception& e) {
            ADD_FAILURE() << i.database << ": " << e.what();
            return -1;
        }
    }
    static long Version(const Installation& i) { return Number(i, "SELECT VERSIO_NO FROM VERSIO"); }
    static long Mode(const Installation& i) {
        return Number(i, "SELECT MON$SHUTDOWN_MODE FROM MON$DATABASE");
    }
    static int TempFolders(const std::string& location) {
        int count = 0;
        for (const std::string& name : testfiles::ListNames(location))
            count += name.rfind("Tmp$", 0) == 0;
        return count;
    }
    static bool ServiceRunning() {
        return xqv::GetServiceState("", kService) == DWORD(SERVICE_RUNNING);
    }

    // gfix's full validation of the file: "" when it is clean.
    static std::string Validation(const std::string& file) {
        const std::string report = kRoot + "\\validation.txt";
        DeleteFileA(report.c_str());
        const int code = testfiles::RunUnix(
            "gfix -v -full -user " + testenv::FbUser() + " -password " + testenv::FbPassword() +
            " \"" + testenv::FbServer() + ":$(realpath '" + testfiles::UnixPath(file) + "')\" >'" +
            testfiles::UnixPath(report) + "' 2>&1");
        const std::string text = testfiles::ReadBytes(report);
        return code == 0 ? text : "exit code " + std::to_string(code) + ": " + text;
    }

    // The copy of the database in a backup, at version 6 and clean: brought online and checked
    // as a copy of its own, so that the backup itself stays as it is.
    static bool BackupDatabaseGood(const std::string& backupFile, const std::string& scratch) {
        if (!CopyFileA(backupFile.c_str(), scratch.c_str(), FALSE)) return false;
        Installation copy;
        copy.database = "localhost/" + testenv::FbPort() + ":" + scratch;
        try {
            xqv::BringDatabaseOnline("fbclient.dll", copy.database, testenv::FbUser(),
                                     testenv::FbPassword());
        } catch (const xqv::Error&) {
            // Already online.
        }
        return Version(copy) == 6 && Validation(scratch).empty();
    }

    static std::unique_ptr<testenv::ScriptDatabase> master;
};

std::unique_ptr<testenv::ScriptDatabase> Faults::master;

// Collects what did not hold for one cell of the matrix, each also a test failure.
struct Cell {
    std::string name;
    std::vector<std::string> broken;
    void Check(bool held, const std::string& what) {
        if (held) return;
        broken.push_back(what);
        ADD_FAILURE() << name << ": " << what;
    }
};

TEST_F(Faults, EveryFaultPointLeavesTheInstallationWholeOnBothInstallationKinds) {
    const auto started = std::chrono::steady_clock::now();
    testenv::InstallFbServer(testenv::FbInstallation::VendorSuper);
    MakeMaster();
    const std::string release = testfiles::FromUnixPath(XQV_RELEASE_CLIENT_DIR);

    std::map<std::string, std::string> table[2];
    int number = 0;
    for (const bool server : {false, true}) {
        for (const MatrixRow& row : kRows) {
            if (row.serverOnly && !server) {
                table[server][row.label] = "-";
                continue;
            }
            Cell cell{std::string(row.label) + (server ? " / client+server" : " / client"), {}};
            SCOPED_TRACE(cell.name);
            const Installation i = MakeInstallation("m" + std::to_string(++number), server);
            // Where the database is restored, the run stops before the online switch, so the
            // restored file can be compared with its backup as the restore left it.
            const bool restored =
                server && (row.expect == Expect::RolledBack || row.expect == Expect::RestoreCut);
            DeleteFileA(Reached().c_str());
            Arm(std::string(row.points) + (restored ? ",before-12:stop" : ""));
            ASSERT_NO_FATAL_FAILURE(Run(i));
            if (restored) {
                const bool stopped = WaitReached("before-12");
                cell.Check(stopped, "the run did not reach the online switch");
                const std::string temp = TempDirIn(i.location);
                const std::string dbNow = testfiles::ReadBytes(i.DbFile());
                cell.Check(!dbNow.empty() &&
                               dbNow == testfiles::ReadBytes(temp + "\\Old\\DB_Data\\OrveLin.fdb"),
                           "restored database file differs from its backup");
                DeleteFileA(Reached().c_str());
            }
            const std::string box = TakeErrorBox(120);
            const std::string outcome = WaitOutcome();
            const std::string view = ViewText();
            CloseUpdater();
            const std::string log = LogBytes();
            const std::string temp = TempDirIn(i.location);

            // The failure and every rollback error, shown and logged.
            for (const std::string& text : InjectedTexts(row.points)) {
                cell.Check(box.find(text) != std::string::npos, "error box lacks " + text);
                cell.Check(log.find(text) != std::string::npos, "log lacks " + text);
            }
            cell.Check(outcome != kSuccess && outcome != "(no outcome)", "outcome " + outcome);

            const auto program = testfiles::Snapshot(i.Program());
            switch (row.expect) {
            case Expect::Untouched:
                cell.Check(outcome == kAborted, "outcome " + outcome);
                cell.Check(program == i.programBefore, "Program changed");
                cell.Check(temp.empty(), "temporary folder left: " + temp);
                break;
            case Expect::RolledBack:
                cell.Check(outcome == kRolledBack, "outcome " + outcome);
                cell.Check(program == i.programBefore, "Program not restored");
                cell.Check(testfiles::Snapshot(temp + "\\Old\\Program") == i.programBefore,
                           "backup of Program incomplete");
                cell.Check(!testfiles::Exists(temp + "\\" + kMarker), "marker left");
                break;
            case Expect::RestoreCut:
                cell.Check(outcome.rfind("Программа обновлена частично!", 0) == 0,
                           "outcome " + outcome);
                cell.Check(testfiles::Snapshot(temp + "\\Old\\Program") == i.programBefore,
                           "backup of Program incomplete");
                cell.Check(log.find("Резервная копия находится в папке " + temp + "\\Old.") !=
                               std::string::npos,
                           "backup path not in the log");
                cell.Check(testfiles::Exists(temp + "\\" + kMarker),
                           "no marker beside the only good backup");
                break;
            case Expect::Updated:
                cell.Check(program.count("OrveLin.exe") &&
                               program.at("OrveLin.exe") ==
                                   testfiles::ReadBytes(release + "\\OrveLin.exe"),
                           "client not updated");
                cell.Check(testfiles::Snapshot(temp + "\\Old\\Program") == i.programBefore,
                           "backup of Program incomplete");
                cell.Check(!testfiles::Exists(temp + "\\New"), "New left");
                cell.Check(!testfiles::Exists(temp + "\\" + kMarker), "marker left");
                break;
            }
            if (server) {
                cell.Check(Mode(i) == 0, "database not online");
                cell.Check(Version(i) == (row.expect == Expect::Updated ? 7 : 6),
                           "database at version " + std::to_string(Version(i)));
                const std::string validation = Validation(i.DbFile());
                cell.Check(validation.empty(), "validation: " + validation);
                cell.Check(ServiceRunning(), "service not running");
            } else {
                cell.Check(view.find("Остановка службы") == std::string::npos,
                           "server stage ran on a client installation");
            }
            std::string verdict = cell.broken.empty() ? "held" : "BROKEN:";
            for (const std::string& what : cell.broken)
                verdict += " " + what + ";";
            table[server][row.label] = verdict;
        }
    }

    std::printf("\nFault matrix (point x installation):\n%-26s %-10s %s\n", "point", "client",
                "client+server");
    for (const MatrixRow& row : kRows)
        std::printf("%-26s %-10s %s\n", row.label, table[0][row.label].c_str(),
                    table[1][row.label].c_str());
    std::printf("(- : the point lies in a stage of the server part)\n%lld s\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(
                                           std::chrono::steady_clock::now() - started)
                                           .count()));
}

// The updater killed at each stage boundary of a server run (and in the middle of the backup and
// of the client replacement): nothing is lost, and the next start gives a way out. The boundary
// before the lock check leaves the same as the one after it, the one after stage 11 the same as
// the one before stage 12; after stage 12 there is nothing left to lose.
TEST_F(Faults, KilledRunsLoseNothingAndTheNextStartGivesAWayOut) {
    testenv::InstallFbServer(testenv::FbInstallation::VendorSuper);
    MakeMaster();
    struct Kill {
        const char* point;
        bool backupMade; // the backup was complete when the process was killed
        bool changing;   // the installation was being changed: the next run is refused
        long version;    // the database's version once online again
    };
    const Kill kills[] = {
        {"after-6", false, false, 6}, {"after-7", false, false, 6}, {"in-8", false, false, 6},
        {"after-8", true, true, 6},   {"after-9", true, true, 7},   {"in-10", true, true, 7},
        {"after-10", true, true, 7},  {"after-11", true, false, 7},
    };
    int number = 0;
    for (const Kill& kill : kills) {
        SCOPED_TRACE(kill.point);
        const Installation i = MakeInstallation("k" + std::to_string(++number), true);
        ASSERT_NO_FATAL_FAILURE(KillAt(i, kill.point));

        // Nothing lost: the installation as it was, or a complete backup of it.
        const std::string temp = TempDirIn(i.location);
        if (kill.backupMade) {
            ASSERT_NE(temp, "");
            EXPECT_EQ(testfiles::Snapshot(temp + "\\Old\\Program"), i.programBefore);
            EXPECT_TRUE(BackupDatabaseGood(temp + "\\Old\\DB_Data\\OrveLin.fdb",
                                           kRoot + "\\k" + std::to_string(number) + ".fdb"));
        } else {
            EXPECT_EQ(testfiles::Snapshot(i.Program()), i.programBefore);
        }
        EXPECT_EQ(testfiles::Exists(temp + "\\" + kMarker), kill.changing);
        EXPECT_TRUE(ServiceRunning());

        // The next start, with the database still in shutdown and the old folder present: it is
        // refused before anything changes, with a message that says what to do.
        const std::map<std::string, std::string> tempBefore =
            temp.empty() ? std::map<std::string, std::string>() : testfiles::Snapshot(temp);
        const auto programAfterKill = testfiles::Snapshot(i.Program());
        OpenUpdater(kExe);
        TypeLocation(i.location);
        PostMessageA(gui::FindControl(hwnd, ids::OKBtn), BM_CLICK, 0, 0);
        if (!kill.changing) {
            HWND question = WaitQuestion();
            ASSERT_NE(question, nullptr);
            Answer(question, "&Yes");
        }
        const std::string box = TakeErrorBox(120);
        if (kill.changing) {
            EXPECT_EQ(box.rfind(kUnfinished + i.location + "\" не было завершено", 0), 0u) << box;
            EXPECT_NE(box.find("Резервная копия находится в папке " + temp +
                               "\\Old. Восстановите из нее папки \"Program\" и \"DB_Data\" "
                               "(файл базы данных - при остановленной службе Firebird-сервера)"),
                      std::string::npos)
                << box;
        } else {
            EXPECT_EQ(box.rfind(kShutdownFailed, 0), 0u) << box;
        }
        EXPECT_EQ(WaitOutcome(), kAborted);
        EXPECT_EQ(TempFolders(i.location), temp.empty() ? 0 : 1) << "a second temporary folder";
        EXPECT_EQ(temp.empty() ? tempBefore : testfiles::Snapshot(temp), tempBefore);
        EXPECT_EQ(testfiles::Snapshot(i.Program()), programAfterKill);

        // The service menu brings the database online.
        ChooseMenu(ids::mmOperations_Online);
        Dialog done = WaitDialog("Information", 60);
        ASSERT_NE(done.hwnd, nullptr);
        EXPECT_EQ(done.text, "База данных переведена в многопользовательский режим.");
        Answer(done.hwnd, "OK");
        EXPECT_EQ(Mode(i), 0);
        EXPECT_EQ(Version(i), kill.version);
        CloseUpdater();
    }
}

// The whole way out after a kill in the middle of the client replacement, as the refusal tells
// it: restore both folders from the backup, bring the database online, remove the marker; then
// the update succeeds.
TEST_F(Faults, AfterAKilledRunTheAdministratorsWayOutEndsInASuccessfulUpdate) {
    testenv::InstallFbServer(testenv::FbInstallation::VendorSuper);
    MakeMaster();
    const Installation i = MakeInstallation("w", true);
    ASSERT_NO_FATAL_FAILURE(KillAt(i, "in-10"));

    // By hand: the service stopped while the database file is put back.
    const std::string temp = TempDirIn(i.location);
    ASSERT_TRUE(xqv::StopServiceAndWait("", kService));
    testfiles::RemoveTree(i.Program());
    for (const auto& [name, bytes] : testfiles::Snapshot(temp + "\\Old\\Program"))
        testfiles::WriteTree(i.Program() + "\\" + name, bytes);
    ASSERT_TRUE(
        CopyFileA((temp + "\\Old\\DB_Data\\OrveLin.fdb").c_str(), i.DbFile().c_str(), FALSE));
    testenv::RestoreFbServer();
    xqv::BringDatabaseOnline("fbclient.dll", i.database, testenv::FbUser(), testenv::FbPassword());
    ASSERT_TRUE(DeleteFileA((temp + "\\" + kMarker).c_str()));
    EXPECT_EQ(Version(i), 6);
    EXPECT_EQ(testfiles::Snapshot(i.Program()), i.programBefore);

    ASSERT_NO_FATAL_FAILURE(Run(i));
    EXPECT_EQ(WaitOutcome(), kSuccess);
    CloseUpdater();
    EXPECT_EQ(Mode(i), 0);
    EXPECT_EQ(Version(i), 7);
    // The old backup is where it was.
    EXPECT_EQ(testfiles::Snapshot(temp + "\\Old\\Program"), i.programBefore);
}

// The points are test equipment: the shipped exe holds no trace of them, the test build does.
TEST(FaultPoints, AreCompiledIntoTheTestBuildOnly) {
    const std::string name = "XQV_FAULT_POINTS";
    const std::string text = Injected("").substr(0, 20);
    const std::string testBuild = testfiles::ReadBytes(ExeFolder() + "\\" + kExe);
    ASSERT_FALSE(testBuild.empty());
    EXPECT_NE(testBuild.find(name), std::string::npos);
    std::vector<std::string> products = {ExeFolder() + "\\Updater_OrveLin.exe"};
    const std::string shipped = testfiles::FromUnixPath(XQV_SHIPPED_EXE);
    if (testfiles::Exists(shipped))
        products.push_back(shipped);
    else
        std::printf("the i686 product %s is not built; only the test preset's is checked\n",
                    shipped.c_str());
    for (const std::string& product : products) {
        const std::string bytes = testfiles::ReadBytes(product);
        ASSERT_FALSE(bytes.empty()) << product;
        EXPECT_EQ(bytes.find(name), std::string::npos) << product;
        EXPECT_EQ(bytes.find(text), std::string::npos) << product;
        EXPECT_EQ(bytes.find("FAULT_INJECTED_BY_TEST"), std::string::npos) << product;
    }
}

} // namespace
