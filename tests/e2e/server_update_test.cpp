// An administrator at the real updater with a server installation: the database of the sample
// project at version 6 on the test server, the test service standing in for the Firebird
// service (stopping it really stops the server). Updates, refusals, rollbacks and the service
// menu, through the window under Wine; every test leaves the server running and the database
// online, whatever happened.
#include <windows.h>
#include <tlhelp32.h>
#include <gtest/gtest.h>
#include <ibase.h>
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
using testenv::FbInstallation;
const std::string kRoot = "C:\\xqvtest\\e2esrv";

// clang-format off
const char* const kUsersAttached = "Программа обновления обнаружила, что к СЕРВЕРНОЙ части обновляемой программы подключены следующие пользователи: ";
const char* const kUsersWarningTail = "\r\rНеобходимо, чтобы все подключенные пользователи (клиенты) вышли из обновляемой программы, после чего процесс обновления можно повторить заново.\r\rПродолжение установки оборвет все подключения к базе данных принудительно!\r\rПродолжить установку?";
const char* const kServerStopWarning = "Сейчас будет выполнена остановка сервера FireBird.Убедитесь, что пользователи не имеют активных подключений ко всем базам данных на этом сервере!\r\rПродолжение установки оборвет все подключения к базам данных на этом сервере принудительно!\r\rПродолжить установку?";
const char* const kShutdownFailed = "Программе обновления не удалось перевести базу данных (сервер) в однопользовательский режим (Shutdown mode). Возможная причина - база данных (сервер)  уже находится в однопользовательском  режиме. \rВ этом случае необходимо вручную перевести  базу данных (сервер) в  многопользовательский режим (Online Mode), с помощью пункта меню \"Операции\" -> \"Перевести базу данных в многопользовательский режим (OnLine)\".\r Сообщение об ошибке:\r\r";
const char* const kManualOnlineSteps = "Программе обновления не удалось перевести базу данных (сервер) в многопользовательский режим. Для ручного перевода базы данных (сервера) в многопользовательский режим: \r1. Запустите службу FireBird-сервера (пункт меню \"Операции\"->\"Запустить службу FireBird-сервера\");\r2. Выберите пункт меню \"Операции\"->\"Перевести базу данных в многопользовательский режим (OnLine));\r3. Повторите попытку обновления.";
const char* const kStartFailed = "Невозможно запустить службу FireBird-сервера. Попробуйте перезагрузить компьютер и снова запустить приложение.";
const char* const kStopFailed = "Невозможно остановить службу FireBird-сервера. Попробуйте перезагрузить компьютер и снова запустить приложение.";
const char* const kNoServerPart = "Программа обновления, исходя из заданного пути к обновляемой программе, обнаружила, что на данном компьютере отсутствует СЕРВЕРНАЯ часть обновляемой программы, поэтому выполнение данной функции невозможно!";
const char* const kAborted = "Обновление прервано пользователем: Отключение клиентов отложено.";
const char* const kSuccess = "Обновление прошло успешно.\r\nЗавершите работу с программой.";
// clang-format on

// The server's processes named like the classic server's executable.
int ProcessesNamed(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        count += lstrcmpiA(entry.szExeFile, name) == 0;
    CloseHandle(snapshot);
    return count;
}

class ServerUpdate : public UpdaterWindow {
protected:
    void SetUp() override {
        testfiles::FreshFolder(kRoot);
        location = kRoot + "\\OrveLin";
        MakeInstallation(location);
    }
    void TearDown() override {
        UpdaterWindow::TearDown();
        others.clear();
        testenv::RestoreFbServer();
        if (db) {
            BringOnlineQuietly();
            db.reset();
        }
        testfiles::RemoveTree(kRoot);
    }

    // "Program" with the previous client, "DB_Data" with the sample database at version 6.
    void MakeInstallation(const std::string& where) {
        testfiles::WriteTree(where + "\\Program\\OrveLin.exe", "старый клиент 6.0");
        testfiles::WriteTree(where + "\\Program\\OrveLin.chm", "старая справка 6.0");
        testfiles::WriteTree(where + "\\Program\\Отчеты\\шаблон.frx", "шаблон отчета");
        db = std::make_unique<testenv::ScriptDatabase>("OrveLin", where + "\\DB_Data");
        db->CreateVersion6();
        programBefore = testfiles::Snapshot(where + "\\Program");
    }

    void BringOnlineQuietly() {
        try {
            xqv::BringDatabaseOnline("fbclient.dll", db->Database(), testenv::FbUser(),
                                     testenv::FbPassword());
        } catch (const xqv::Error&) {
            // Already online: the server refuses, which is all we wanted to be sure of.
        }
    }

    long Version() { return dbtest::QueryNumber(db->Database(), "SELECT VERSIO_NO FROM VERSIO"); }
    // 0 online, otherwise one of the shutdown modes.
    long ShutdownMode() {
        return dbtest::QueryNumber(db->Database(), "SELECT MON$SHUTDOWN_MODE FROM MON$DATABASE");
    }
    void Shutdown() {
        xqv::ShutdownDatabase("fbclient.dll", db->Database(), testenv::FbUser(),
                              testenv::FbPassword());
    }
    void ExpectOnlineAtVersion(long version) {
        EXPECT_TRUE(testenv::FbServerListening());
        EXPECT_EQ(ShutdownMode(), 0);
        EXPECT_EQ(Version(), version);
    }

    std::string ReleaseFile(const char* name) {
        return testfiles::ReadBytes(testfiles::FromUnixPath(XQV_RELEASE_CLIENT_DIR) + "\\" + name);
    }

    std::string TempDir() const { return TempDirIn(location); }

    // Another client attached to the database.
    void AttachOther(const std::string& user, const std::string& password) {
        others.push_back(dbtest::AttachAs(db->Database(), user, password));
    }
    // True while the attachment can still talk to the server.
    static bool StillAttached(xqv::fb::Attachment& attachment) {
        const char items[] = {isc_info_page_size};
        char buffer[32];
        xqv::fb::StatusVector status;
        return attachment.Client().Api().isc_database_info(status, attachment.Handle(), 1, items,
                                                           sizeof buffer, buffer) == 0;
    }

    std::string location;
    std::unique_ptr<testenv::ScriptDatabase> db;
    std::map<std::string, std::string> programBefore;
    std::vector<std::unique_ptr<xqv::fb::Attachment>> others;
};

TEST_F(ServerUpdate, SuperServerWithNobodyAttachedIsUpdatedEndToEnd) {
    testenv::InstallFbServer(FbInstallation::VendorSuper);
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location));
    EXPECT_EQ(WaitOutcome(), kSuccess);
    EXPECT_EQ(gui::WaitWindow("Warning", 0, "XqvMessageDialog"), nullptr);

    ExpectOnlineAtVersion(7);
    EXPECT_EQ(xqv::GetServiceState("", "VelmoraFireXBirdServer"), DWORD(SERVICE_RUNNING));
    const auto program = testfiles::Snapshot(location + "\\Program");
    EXPECT_EQ(program.at("OrveLin.exe"), ReleaseFile("OrveLin.exe"));
    EXPECT_EQ(program.at("OrveLin.chm"), ReleaseFile("OrveLin.chm"));
    EXPECT_EQ(program.at("Отчеты\\шаблон.frx"), "шаблон отчета");
    const std::string temp = TempDir();
    EXPECT_EQ(testfiles::Snapshot(temp + "\\Old\\Program"), programBefore);
    EXPECT_TRUE(testfiles::Exists(temp + "\\Old\\DB_Data\\OrveLin.fdb"));

    const std::vector<std::string> lines = {
        "Инициализация переменных...",
        "Завершена инициализация переменных",
        "Проверка подключений к Firebird-серверу.",
        "Перевод базы данных в однопользовательский режим (Shutdown)",
        "База данных переведена в однопользовательский режим.",
        "Остановка службы FireBird.",
        "Служба FireBird остановлена.",
        "Проверка свободного места на диске.",
        "Завершена проверка свободного места на диске.",
        "Запуск службы FireBird.",
        "Служба FireBird запущена.",
        "Проверка наличия блокировок каталогов/файлов",
        "Завершена проверка наличия блокировок каталогов/файлов",
        "Создание временной структуры каталогов.",
        "Завершено создание временной структуры каталогов.",
        "Создание резервной копии программы",
        "Завершено создание резервной копии программы",
        "Обновление серверной части",
        "Выполненяется скрипт синхронизации структуры проекта",
        "CREATE TABLE WAREHOUSE_CELLS",
        "Обновление клиентской части",
        "Выполняется копирование и замена файлов и каталогов клиентского приложения",
        "Временная папка \"" + temp + "\\New\\\" удалена",
        "Перевод базы данных в многопользовательский режим (OnLine)",
        "База данных переведена в многопользовательский режим.",
        "Обновление прошло успешно. Завершите работу с программой."};
    ExpectInOrder(ViewText(), lines);
    // The file has the time-stamped lines; the script's statement blocks go to the view only.
    std::vector<std::string> fileLines = lines;
    fileLines.erase(fileLines.begin() + 19);
    ExpectInOrder(LogBytes(), fileLines);
    // Nobody else attached: the check logs its first line only.
    EXPECT_EQ(ViewText().find("Отключение клиентов"), std::string::npos);
    Screenshot("e2e-server-success.bmp");
}

TEST_F(ServerUpdate, OtherAttachmentsAreNamedAndCutOffOnlyWhenTheAdministratorAgrees) {
    testenv::InstallFbServer(FbInstallation::VendorSuper);
    dbtest::Execute(db->Database(), "CREATE OR ALTER USER MANAGER PASSWORD 'mgr3051'");
    AttachOther(testenv::FbUser(), testenv::FbPassword());
    AttachOther("MANAGER", "mgr3051");

    ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location));
    Dialog warning = WaitDialog("Warning");
    ASSERT_NE(warning.hwnd, nullptr);
    // The server names the newest attachment first.
    EXPECT_EQ(warning.text, kUsersAttached + std::string("MANAGER; SYSDBA") + kUsersWarningTail);
    Screenshot("e2e-server-users-warning.bmp");
    Answer(warning.hwnd, "&No");
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    EXPECT_EQ(LastViewLine(), kAborted);
    EXPECT_EQ(FindWindowA("#32770", title.c_str()), nullptr) << "no error box";
    ExpectOnlineAtVersion(6);
    EXPECT_TRUE(StillAttached(*others[0]));

    // Again, and Yes this time: the other attachments are broken off and the update goes on.
    PostMessageA(gui::FindControl(hwnd, ids::OKBtn), BM_CLICK, 0, 0);
    HWND question = WaitQuestion();
    ASSERT_NE(question, nullptr);
    Answer(question, "&Yes");
    warning = WaitDialog("Warning");
    ASSERT_NE(warning.hwnd, nullptr);
    Answer(warning.hwnd, "&Yes");
    EXPECT_EQ(WaitOutcome(), kSuccess);
    EXPECT_FALSE(StillAttached(*others[0]));
    EXPECT_FALSE(StillAttached(*others[1]));
    ExpectInOrder(ViewText(), {"Проверка подключений к Firebird-серверу.", "Отключение клиентов",
                               "Отключение клиентов завершено",
                               "Перевод базы данных в однопользовательский режим (Shutdown)"});
    ExpectOnlineAtVersion(7);
}

// A classic server cannot say who is attached: the general warning always shows; what is left of
// its processes after the service stopped is terminated.
TEST_F(ServerUpdate, ClassicServerIsWarnedAboutAndItsLeftoverProcessesTerminated) {
    testenv::InstallFbServer(FbInstallation::VendorClassic);
    testenv::FbServiceBehaviour leftovers;
    leftovers.leftoverProcesses = 3;
    testenv::SetFbServiceBehaviour(leftovers);
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location));
    Dialog warning = WaitDialog("Warning");
    ASSERT_NE(warning.hwnd, nullptr);
    EXPECT_EQ(warning.text, kServerStopWarning);
    Answer(warning.hwnd, "&Yes");
    EXPECT_EQ(WaitOutcome(), kSuccess);
    ExpectInOrder(ViewText(), {"Отключение клиентов", "Отключение клиентов завершено.",
                               "Служба FireBird остановлена."});
    // Only the running service itself is left of the classic server's executable.
    EXPECT_EQ(ProcessesNamed("fb_inet_srvorvl.exe"), 1);
    ExpectOnlineAtVersion(7);
}

TEST_F(ServerUpdate, DatabaseAlreadyInShutdownStopsTheRunWithNothingChanged) {
    testenv::InstallFbServer(FbInstallation::VendorSuper);
    Shutdown();
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location));
    const std::string message = TakeErrorBox();
    EXPECT_EQ(message.rfind(kShutdownFailed, 0), 0u) << message;
    EXPECT_NE(message.find("Target shutdown mode is invalid for database"), std::string::npos);
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    EXPECT_NE(ShutdownMode(), 0);
    EXPECT_EQ(Version(), 6);
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), programBefore);
    EXPECT_EQ(TempDir(), "");
    EXPECT_EQ(ViewText().find("Остановка службы FireBird."), std::string::npos);
}

// The free-space check finds too little room on the database's drive (a small drive of the test
// environment): the server is started again and the database brought back online.
TEST_F(ServerUpdate, TooLittleFreeSpaceBringsEverythingBack) {
    const std::string drive = "S:\\";
    ULARGE_INTEGER total = {}, free = {};
    if (GetDriveTypeA(drive.c_str()) != DRIVE_FIXED ||
        !GetDiskFreeSpaceExA(drive.c_str(), &free, &total, nullptr) || total.QuadPart > 64ull << 20)
        GTEST_SKIP() << "the test environment has no small drive S:";
    testenv::InstallFbServer(FbInstallation::VendorSuper);
    db.reset();
    location = drive + "xqv\\OrveLin";
    testfiles::RemoveTree(drive + "xqv");
    MakeInstallation(location);
    // Fill the drive until less is free than twice the database.
    const std::string filler = drive + "xqv\\filler.bin";
    GetDiskFreeSpaceExA(drive.c_str(), &free, nullptr, nullptr);
    const long long databaseSize =
        static_cast<long long>(testfiles::ReadBytes(location + "\\DB_Data\\OrveLin.fdb").size());
    const long long keepFree = databaseSize < (1 << 20) ? (1 << 20) : databaseSize;
    ASSERT_GE(databaseSize, 1 << 20) << "the check counts whole megabytes";
    ASSERT_TRUE(testfiles::WriteBytes(
        filler, std::string(static_cast<size_t>(free.QuadPart - keepFree), '\0')));

    ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location));
    const std::string message = TakeErrorBox();
    const std::string tooLittle = "Для записи файла на диск \"" + drive + "\"требуется не менее ";
    EXPECT_EQ(message.rfind(tooLittle, 0), 0u) << message;
    const size_t block = message.find("\r\rException!\rMessage: ");
    ASSERT_NE(block, std::string::npos) << message;
    EXPECT_EQ(message.substr(block + 22), message.substr(0, block));
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    ExpectInOrder(ViewText(), {"Остановка службы FireBird.", "Служба FireBird остановлена.",
                               "Проверка свободного места на диске.", "Запуск службы FireBird.",
                               "Служба FireBird запущена.",
                               "Перевод базы данных в многопользовательский режим (Online)",
                               "База данных переведена в многопользовательский режим."});
    ExpectOnlineAtVersion(6);
    DeleteFileA(filler.c_str());
    BringOnlineQuietly();
    db.reset();
    testfiles::RemoveTree(drive + "xqv");
}

// A release whose script fails half-way: the database file and "Program" come back from the
// backup, the database is online again at version 6 and validates clean.
TEST_F(ServerUpdate, ScriptFailingHalfWayRestoresTheBackup) {
    testenv::InstallFbServer(FbInstallation::VendorSuper);
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location, "Updater_FailingScript.exe"));
    const std::string message = TakeErrorBox();
    EXPECT_EQ(message.rfind("Ошибка применения скрипта!\r------- STATEMENT --------\r", 0), 0u)
        << message;
    EXPECT_NE(message.find("STORAGE_PLACES"), std::string::npos) << message;
    EXPECT_EQ(WaitOutcome(), "Обновление прошло с ошибками!\r\nОткат изменений завершен.");
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), programBefore);

    // The file is the backup's, byte for byte, but for the header page, which the online switch
    // rewrote. (Compared before any query of this test changes the database.)
    const std::string restored = testfiles::ReadBytes(location + "\\DB_Data\\OrveLin.fdb");
    const std::string backup = testfiles::ReadBytes(TempDir() + "\\Old\\DB_Data\\OrveLin.fdb");
    ASSERT_GT(backup.size(), 18u);
    const size_t pageSize =
        static_cast<unsigned char>(backup[16]) | static_cast<unsigned char>(backup[17]) << 8;
    ASSERT_EQ(restored.size(), backup.size());
    for (size_t page = 1; page * pageSize < backup.size(); ++page)
        EXPECT_EQ(restored.compare(page * pageSize, pageSize, backup, page * pageSize, pageSize), 0)
            << "page " << page;

    ExpectOnlineAtVersion(6);
    EXPECT_THROW(dbtest::QueryNumber(db->Database(), "SELECT COUNT(*) FROM WAREHOUSE_CELLS"),
                 xqv::Error);
    // And it validates clean.
    const std::string report = kRoot + "\\validation.txt";
    // The server is given the file's real path, as the client library bridge gives it.
    const std::string file = testfiles::UnixPath(location + "\\DB_Data\\OrveLin.fdb");
    EXPECT_EQ(testfiles::RunUnix("gfix -v -full -user " + testenv::FbUser() + " -password " +
                                 testenv::FbPassword() + " \"" + testenv::FbServer() +
                                 ":$(realpath '" + file + "')\" >'" + testfiles::UnixPath(report) +
                                 "' 2>&1"),
              0);
    EXPECT_EQ(testfiles::ReadBytes(report), "");
}

// The service does not start again after the free-space check: the manual steps are shown, and
// the two menu commands they name bring everything back.
TEST_F(ServerUpdate, ServiceThatDoesNotStartIsBroughtBackFromTheMenu) {
    testenv::InstallFbServer(FbInstallation::VendorSuper);
    testenv::FbServiceBehaviour refuse;
    refuse.refuseStart = true;
    testenv::SetFbServiceBehaviour(refuse);
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location));
    Dialog steps = WaitDialog("Error");
    ASSERT_NE(steps.hwnd, nullptr);
    EXPECT_EQ(steps.text, kManualOnlineSteps);
    Answer(steps.hwnd, "OK");
    const std::string message = TakeErrorBox();
    EXPECT_EQ(message.rfind(std::string(kStartFailed) +
                                "\r\rException!\rMessage: Обновление прервано: невозможно "
                                "перевести базу данных в многопользовательский режим.\rOriginal "
                                "Message: ",
                            0),
              0u)
        << message;
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    EXPECT_FALSE(testenv::FbServerListening());

    testenv::SetFbServiceBehaviour({});
    ChooseMenu(ids::mmOperations_StartService);
    EXPECT_EQ(TakeMessageBox(120), "Служба FireBird запущена.");
    EXPECT_TRUE(testenv::FbServerListening());
    EXPECT_NE(ShutdownMode(), 0);
    ChooseMenu(ids::mmOperations_Online);
    Dialog done = WaitDialog("Information");
    ASSERT_NE(done.hwnd, nullptr);
    EXPECT_EQ(done.text, "База данных переведена в многопользовательский режим.");
    Answer(done.hwnd, "OK");
    ExpectOnlineAtVersion(6);
}

TEST_F(ServerUpdate, EmptyPasswordStopsBeforeAnythingChanges) {
    testenv::InstallFbServer(FbInstallation::VendorSuper);
    OpenUpdater();
    TypeLocation(location);
    TypePassword("   ");
    PostMessageA(gui::FindControl(hwnd, ids::OKBtn), BM_CLICK, 0, 0);
    HWND question = WaitQuestion();
    ASSERT_NE(question, nullptr);
    Answer(question, "&Yes");
    EXPECT_EQ(TakeErrorBox(), "Не задан пароль!");
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");

    // A classic server warns first, then the shutdown refuses the password.
    testenv::InstallFbServer(FbInstallation::VendorClassic);
    PostMessageA(gui::FindControl(hwnd, ids::OKBtn), BM_CLICK, 0, 0);
    question = WaitQuestion();
    ASSERT_NE(question, nullptr);
    Answer(question, "&Yes");
    Dialog warning = WaitDialog("Warning");
    ASSERT_NE(warning.hwnd, nullptr);
    Answer(warning.hwnd, "&Yes");
    EXPECT_EQ(TakeErrorBox(), kShutdownFailed + std::string("Не задан пароль!"));
    ExpectOnlineAtVersion(6);
}

// The four service menu commands: each database command twice (the second finds the database in
// that mode already), a location without the server part, a wrong password, and the service
// commands acting on the server found last, whatever the location box says by then.
TEST_F(ServerUpdate, ServiceMenuCommands) {
    testenv::InstallFbServer(FbInstallation::StandardSuper);
    OpenUpdater();
    // Nothing has found a server yet.
    ChooseMenu(ids::mmOperations_StartService);
    EXPECT_EQ(TakeMessageBox(), std::string(kStartFailed));
    ChooseMenu(ids::mmOperations_StopService);
    EXPECT_EQ(TakeMessageBox(), std::string(kStopFailed));
    EXPECT_TRUE(testenv::FbServerListening());

    TypeLocation(location);
    const struct {
        int command;
        const char* caption;
        const char* text;
    } steps[] = {
        {ids::mmOperations_Shutdown, "Information",
         "База данных переведена в однопользовательский режим."},
        {ids::mmOperations_Shutdown, "Warning",
         "База данных уже находится в однопользовательском режиме."},
        {ids::mmOperations_Online, "Information",
         "База данных переведена в многопользовательский режим."},
        {ids::mmOperations_Online, "Warning",
         "База данных уже работает в многопользовательском режиме."},
    };
    for (const auto& step : steps) {
        ChooseMenu(step.command);
        Dialog dialog = WaitDialog(step.caption, 30);
        ASSERT_NE(dialog.hwnd, nullptr) << step.text;
        EXPECT_EQ(dialog.text, step.text);
        // The input controls are disabled while the command runs.
        EXPECT_FALSE(IsWindowEnabled(gui::FindControl(hwnd, ids::OKBtn)));
        Answer(dialog.hwnd, "OK");
        EXPECT_EQ(LastViewLine(), step.text);
    }
    EXPECT_TRUE(IsWindowEnabled(gui::FindControl(hwnd, ids::OKBtn)));
    ExpectInOrder(ViewText(), {"Инициализация переменных...", "Завершена инициализация переменных",
                               "Перевод базы данных в многопользовательский режим (OnLine)",
                               "База данных уже работает в многопользовательском режиме."});

    // A wrong password: the server's own message.
    TypePassword("wrong3051");
    ChooseMenu(ids::mmOperations_Shutdown);
    const std::string refused = TakeErrorBox();
    EXPECT_NE(refused.find("Your user name and password are not defined"), std::string::npos)
        << "[" << refused << "]";
    EXPECT_TRUE(IsWindowEnabled(gui::FindControl(hwnd, ids::OKBtn)));
    EXPECT_EQ(ShutdownMode(), 0);

    // No database at the location: refused before the server is asked.
    testfiles::WriteTree(kRoot + "\\Client\\Program\\OrveLin.exe", "клиент");
    TypeLocation(kRoot + "\\Client");
    ChooseMenu(ids::mmOperations_Online);
    EXPECT_EQ(TakeErrorBox(), std::string(kNoServerPart));
    EXPECT_EQ(LastViewLine(), "Exception - " + std::string(kNoServerPart));

    // The service commands use the server the last command found: the standard instance's
    // guardian, although the location now holds no server part.
    ChooseMenu(ids::mmOperations_StopService);
    EXPECT_EQ(TakeMessageBox(120), "Служба FireBird остановлена.");
    EXPECT_FALSE(testenv::FbServerListening());
    ChooseMenu(ids::mmOperations_StartService);
    EXPECT_EQ(TakeMessageBox(120), "Служба FireBird запущена.");
    EXPECT_TRUE(testenv::FbServerListening());
    EXPECT_EQ(xqv::GetServiceState("", "FirebirdGuardianDefaultInstance"), DWORD(SERVICE_RUNNING));
}

} // namespace
