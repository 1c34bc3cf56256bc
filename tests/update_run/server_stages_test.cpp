// The server stages of the update run with a scripted window, against the test server and the
// test service that stands in for the Firebird service: the shapes of the error texts when the
// service cycle fails and when the final online switch fails, and that logging never keeps the
// database in shutdown. The pause after a service stop is shortened here; the end-to-end tests
// keep the real one.
#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include "db_services.h"
#include "errors.h"
#include "fb_server.h"
#include "fb_service_fixture.h"
#include "script_db.h"
#include "scripted_window.h"
#include "server_stages.h"
#include "server_support.h"
#include "service_control.h"
#include "test_files.h"
#include "update.h"
#include "update_run.h"

namespace {

using testenv::ScriptedWindow;
const std::string kRoot = "C:\\xqvtest\\stages";

// clang-format off
const char* const kStopFailed = "Невозможно остановить службу FireBird-сервера. Попробуйте перезагрузить компьютер и снова запустить приложение.";
const char* const kStartFailed = "Невозможно запустить службу FireBird-сервера. Попробуйте перезагрузить компьютер и снова запустить приложение.";
const char* const kNoReadAccess = "Процедуре CheckFreeSize не удалось получить доступ к файлу БД на чтение!";
const char* const kOnlineFailedAfterServiceCycle = "Обновление прервано: невозможно перевести базу данных в многопользовательский режим.\rOriginal Message: ";
const char* const kOnlineFailed = "Программе обновления не удалось перевести базу данных (сервер) в многопользовательский режим. Для ручного перевода базы данных (сервера) в многопользовательский режим воспользуйтесь пунктом меню \"Перевести базу данных в многопользовательский режим (OnLine)\".\rOriginal Message: ";
const char* const kBlock = "\r\rException!\rMessage: ";
// clang-format on

class ServerStages : public ::testing::Test {
protected:
    void SetUp() override {
        xqv::ServiceStopPauseMs = 200;
        testfiles::FreshFolder(kRoot);
        window.profile = ScriptedWindow::SampleProfile();
        window.profile.DbConnectPrefix = "localhost/" + testenv::FbPort() + ":";
        location = kRoot + "\\OrveLin";
        testfiles::WriteTree(location + "\\Program\\OrveLin.exe", "старый клиент");
        testfiles::WriteTree(location + "\\Program\\OrveLin.chm", "старая справка");
        db = std::make_unique<testenv::ScriptDatabase>("OrveLin", location + "\\DB_Data");
        db->CreateVersion6();
        testenv::InstallFbServer(testenv::FbInstallation::VendorSuper);
        xqv::InitVariables(location);
        window.logLines.clear();
    }
    void TearDown() override {
        testenv::RestoreFbServer();
        try {
            xqv::BringDatabaseOnline("fbclient.dll", db->Database(), testenv::FbUser(),
                                     testenv::FbPassword());
        } catch (const xqv::Error&) {
        }
        db.reset();
        testfiles::RemoveTree(kRoot);
    }

    long ShutdownMode() {
        return dbtest::QueryNumber(db->Database(), "SELECT MON$SHUTDOWN_MODE FROM MON$DATABASE");
    }
    long Version() { return dbtest::QueryNumber(db->Database(), "SELECT VERSIO_NO FROM VERSIO"); }

    // Runs a stage that must fail; the message of its error.
    template <typename Stage> std::string Failing(Stage stage) {
        try {
            stage();
        } catch (const xqv::Error& e) {
            return e.Message();
        }
        ADD_FAILURE() << "no error";
        return "";
    }

    // The server's message when it cannot be reached, as the online request reports it.
    std::string UnreachableMessage() {
        return Failing([&] {
            xqv::BringDatabaseOnline("fbclient.dll", db->Database(), "SYSDBA",
                                     testenv::FbPassword());
        });
    }

    ScriptedWindow window;
    std::string location;
    std::unique_ptr<testenv::ScriptDatabase> db;
    std::string errorText = "left from before";
};

TEST_F(ServerStages, StopRefusedIsTheWholeTextAndTheDatabaseGoesBackOnline) {
    xqv::ShutdownStage(testenv::FbPassword());
    testenv::FbServiceBehaviour refuse;
    refuse.refuseStop = true;
    testenv::SetFbServiceBehaviour(refuse);
    EXPECT_EQ(Failing([&] { xqv::ServiceCycleStage(testenv::FbPassword(), errorText); }),
              kStopFailed);
    EXPECT_EQ(errorText, kStopFailed);
    EXPECT_TRUE(window.dialogs.empty());
    EXPECT_EQ(window.logLines, (std::vector<std::string>{
                                   "Перевод базы данных в однопользовательский режим (Shutdown)",
                                   "База данных переведена в однопользовательский режим.",
                                   "Остановка службы FireBird.",
                                   "Перевод базы данных в многопользовательский режим (Online)",
                                   "База данных переведена в многопользовательский режим."}));
    EXPECT_EQ(ShutdownMode(), 0);
}

// The start fails after the check: with the server down the online switch fails too, the manual
// steps are shown, and both failures are in the text.
TEST_F(ServerStages, StartRefusedShowsTheManualStepsAndRecordsTheOnlineFailure) {
    xqv::ShutdownStage(testenv::FbPassword());
    testenv::FbServiceBehaviour refuse;
    refuse.refuseStart = true;
    testenv::SetFbServiceBehaviour(refuse);
    window.answers = {xqv::DialogAnswer::Ok};
    const std::string message =
        Failing([&] { xqv::ServiceCycleStage(testenv::FbPassword(), errorText); });
    ASSERT_EQ(window.dialogs.size(), 1u);
    EXPECT_EQ(window.dialogs[0].kind, xqv::MessageKind::Error);
    EXPECT_EQ(window.dialogs[0].buttons, xqv::DialogButtons::Ok);
    const std::string unreachable = UnreachableMessage();
    EXPECT_FALSE(unreachable.empty());
    EXPECT_EQ(message,
              kStartFailed + std::string(kBlock) + kOnlineFailedAfterServiceCycle + unreachable);
    EXPECT_EQ(errorText, message);
    EXPECT_EQ(window.logLines.back(), "Перевод базы данных в многопользовательский режим (Online)");
    EXPECT_FALSE(testenv::FbServerListening());
}

// The database file cannot be opened by the check (another program holds it): the check's
// empty message becomes the read-access text, recorded twice; the server is started again.
TEST_F(ServerStages, DatabaseFileTheCheckCannotReadIsRecordedTwice) {
    xqv::ShutdownStage(testenv::FbPassword());
    testfiles::FileHolder holder(location + "\\DB_Data\\OrveLin.fdb");
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(Failing([&] { xqv::ServiceCycleStage(testenv::FbPassword(), errorText); }),
              kNoReadAccess + std::string(kBlock) + kNoReadAccess);
    EXPECT_TRUE(testenv::FbServerListening());
    EXPECT_EQ(ShutdownMode(), 0);
    EXPECT_TRUE(window.dialogs.empty());
}

TEST_F(ServerStages, FinalOnlineFailureIsAppendedToTheTextOfTheRun) {
    xqv::ShutdownStage(testenv::FbPassword());
    const std::string message =
        Failing([&] { xqv::OnlineStage(testenv::FbPassword() + "x", errorText); });
    EXPECT_EQ(message.rfind("left from before" + std::string(kBlock) + kOnlineFailed, 0), 0u)
        << message;
    EXPECT_GT(message.size(), std::string("left from before").size() + 400);
    EXPECT_EQ(errorText, message);
    EXPECT_NE(ShutdownMode(), 0);
}

// A log line that cannot be written does not keep the database in shutdown, and is still
// reported.
TEST_F(ServerStages, FinalOnlineSwitchRunsWhenTheLogCannotBeWritten) {
    xqv::ShutdownStage(testenv::FbPassword());
    errorText.clear();
    window.failingLogLines = {"Перевод базы данных в многопользовательский режим (OnLine)"};
    EXPECT_EQ(Failing([&] { xqv::OnlineStage(testenv::FbPassword(), errorText); }), "Disk full");
    EXPECT_EQ(ShutdownMode(), 0);
}

// The whole run with the release this build carries, on a database the release's check refuses:
// the script fails, the backup is restored, and then the server goes away before the final
// online switch, which fails in its turn and is recorded last.
TEST_F(ServerStages, OnlineFailingAfterTheScriptFailedEndsTheText) {
    dbtest::Execute(db->Database(), "UPDATE VERSIO SET VERSIO_NO = 5");
    window.answers = {xqv::DialogAnswer::Yes};
    window.onLog = [](const std::string& text) {
        if (text == "Завершено восстановление каталогов программы из резервной копии.")
            xqv::StopServiceAndWait("", "VelmoraFireXBirdServer");
    };
    const std::string message = Failing(
        [&] { xqv::UpdateProgram(location, testenv::FbPassword(), window.profile.ProjectName); });
    window.onLog = nullptr;
    EXPECT_EQ(message.rfind("Ошибка применения скрипта!\r\rВероятно, имеет место несоответствие "
                            "между версией обновления и версией обновляемой базы данных!",
                            0),
              0u)
        << message;
    const size_t online = message.find(kBlock + std::string(kOnlineFailed));
    ASSERT_NE(online, std::string::npos) << message;
    // The script's error is there twice (as the update stage's, and as the run's) before it.
    const std::string scriptError = message.substr(0, message.find(kBlock));
    EXPECT_EQ(message.substr(0, online), scriptError + kBlock + scriptError);
    EXPECT_TRUE(window.updateStageFailed);
    testenv::RestoreFbServer();
    EXPECT_EQ(Version(), 5);
}

} // namespace
