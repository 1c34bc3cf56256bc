// Stop and start of the Firebird service as the update run and the service menu use them, on
// installations of the test service that discovery finds: "stopped" means the private server
// has gone, "started" that it listens again.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "error_of.h"
#include "fb_server.h"
#include "fb_service_fixture.h"
#include "scripted_window.h"
#include "service_control.h"
#include "test_env.h"
#include "test_processes.h"

namespace {

using testenv::ErrorOf;
using testenv::FbInstallation;
using testenv::FbServiceBehaviour;

// clang-format off
const char* const kCannotStop = "Невозможно остановить службу FireBird-сервера. Попробуйте перезагрузить компьютер и снова запустить приложение.";
const char* const kCannotStart = "Невозможно запустить службу FireBird-сервера. Попробуйте перезагрузить компьютер и снова запустить приложение.";
const char* const kNotRunning = "Служба FireBird-сервера не запущена!";
const char* const kStopped = "Служба FireBird остановлена.";
const char* const kStarted = "Служба FireBird запущена.";
// clang-format on
const char* const kNoError = "<no error>";

class FbServiceOperations : public ::testing::Test {
protected:
    // The pause after a stop only has to outlast the end of the service's process.
    void SetUp() override { xqv::ServiceStopPauseMs = 500; }
    void TearDown() override {
        xqv::ServiceStopPauseMs = 15000;
        testenv::RestoreFbServer();
    }

    // Lays out the installation and reads it back as the product does.
    xqv::TFBServParams Install(FbInstallation kind) {
        testenv::InstallFbServer(kind);
        xqv::TFBServParams params;
        xqv::DetectFbServer(params);
        return params;
    }

    static void Behave(void (*change)(FbServiceBehaviour&)) {
        FbServiceBehaviour behaviour;
        change(behaviour);
        testenv::SetFbServiceBehaviour(behaviour);
    }

    // The private server's process id, from the file the test environment keeps.
    static std::string ServerPid() {
        return testfiles::ReadBytes(testfiles::FromUnixPath(testenv::Dir()) +
                                    "\\firebird\\server.pid");
    }

    testenv::ScriptedWindow window;
};

TEST_F(FbServiceOperations, VendorSuperServerStopsAndStartsWithMessages) {
    const xqv::TFBServParams params = Install(FbInstallation::VendorSuper);
    ASSERT_EQ(params.ServerExe, "FBSRVORVL.EXE");
    EXPECT_EQ(ErrorOf([&] { xqv::StopFbService(params, true); }), kNoError);
    EXPECT_FALSE(testenv::FbServerListening());
    EXPECT_EQ(testenv::WaitForProcessCount("fbsrvorvl.exe", 0), 0);
    EXPECT_EQ(window.plainMessages, std::vector<std::string>{kStopped});

    EXPECT_EQ(ErrorOf([&] { xqv::StartFbService(params, true); }), kNoError);
    EXPECT_TRUE(testenv::FbServerListening());
    EXPECT_EQ(window.plainMessages, (std::vector<std::string>{kStopped, kStarted}));
}

TEST_F(FbServiceOperations, StandardClassicServerLeavesNoConnectionProcess) {
    const xqv::TFBServParams params = Install(FbInstallation::StandardClassic);
    ASSERT_EQ(params.ServiceName, "FirebirdGuardianDefaultInstance");
    ASSERT_EQ(params.ServerExe, "FB_INET_SERVER.EXE");
    Behave([](FbServiceBehaviour& b) { b.leftoverProcesses = 3; });
    EXPECT_EQ(ErrorOf([&] { xqv::StopFbService(params, false); }), kNoError);
    EXPECT_EQ(testenv::WaitForProcessCount("fb_inet_server.exe", 0), 0);
    EXPECT_FALSE(testenv::FbServerListening());

    // The guardian runs; the maker's service does not exist and counts as stopped.
    EXPECT_EQ(ErrorOf([&] { xqv::StartFbService(params, false); }), kNoError);
    EXPECT_TRUE(testenv::FbServerListening());
    EXPECT_TRUE(window.plainMessages.empty());
}

TEST_F(FbServiceOperations, StartOfARunningServiceRestartsTheServer) {
    for (FbInstallation kind : {FbInstallation::VendorClassic, FbInstallation::StandardSuper}) {
        const xqv::TFBServParams params = Install(kind);
        Behave([](FbServiceBehaviour& b) { b.leftoverProcesses = 2; });
        const std::string before = ServerPid();
        EXPECT_EQ(ErrorOf([&] { xqv::StartFbService(params, false); }), kNoError)
            << params.ServerExe;
        EXPECT_TRUE(testenv::FbServerListening());
        EXPECT_NE(ServerPid(), before) << params.ServerExe;
        // The start's own stop terminated what the server left; the maker's service runs as a
        // process of the server's name.
        const int own = params.ServiceName == "VelmoraFireXBirdServer" ? 1 : 0;
        EXPECT_EQ(testenv::WaitForProcessCount(params.ServerExe, own), own) << params.ServerExe;
    }
}

TEST_F(FbServiceOperations, RefusedStopIsAnErrorAndTheServerKeepsRunning) {
    const xqv::TFBServParams params = Install(FbInstallation::VendorSuper);
    Behave([](FbServiceBehaviour& b) { b.refuseStop = true; });
    EXPECT_EQ(ErrorOf([&] { xqv::StopFbService(params, true); }), kCannotStop);
    EXPECT_TRUE(testenv::FbServerListening());
    EXPECT_TRUE(window.plainMessages.empty());
}

TEST_F(FbServiceOperations, StartAfterARefusedStopFindsTheServiceRunning) {
    const xqv::TFBServParams params = Install(FbInstallation::StandardSuper);
    Behave([](FbServiceBehaviour& b) { b.refuseStop = true; });
    EXPECT_EQ(ErrorOf([&] { xqv::StartFbService(params, true); }), kCannotStart);
    EXPECT_TRUE(testenv::FbServerListening());
}

TEST_F(FbServiceOperations, RefusedStartIsAnErrorAndTheServerStaysDown) {
    const xqv::TFBServParams params = Install(FbInstallation::VendorClassic);
    Behave([](FbServiceBehaviour& b) { b.refuseStart = true; });
    EXPECT_EQ(ErrorOf([&] { xqv::StartFbService(params, true); }), kCannotStart);
    EXPECT_FALSE(testenv::FbServerListening());
    EXPECT_TRUE(window.plainMessages.empty());
}

TEST_F(FbServiceOperations, StartWithoutServerParametersFails) {
    Install(FbInstallation::VendorSuper);
    EXPECT_EQ(ErrorOf([] { xqv::StartFbService(xqv::TFBServParams(), true); }), kCannotStart);
    // Nothing was named, so nothing was touched.
    EXPECT_TRUE(testenv::FbServerListening());
}

// The check after a start asks for the guardian or the maker's service, not for the service it
// started: here the standard instance's server service, with the guardian stopped.
TEST_F(FbServiceOperations, StartedServiceOtherThanTheKnownTwoIsNotRunningForTheCheck) {
    xqv::TFBServParams params = Install(FbInstallation::StandardSuper);
    ASSERT_TRUE(xqv::StopServiceAndWait("", params.ServiceName));
    params.ServiceName = "FirebirdServerDefaultInstance";
    EXPECT_EQ(ErrorOf([&] { xqv::StartFbService(params, true); }), kNotRunning);
    EXPECT_TRUE(testenv::FbServerListening());
    EXPECT_TRUE(xqv::StopServiceAndWait("", params.ServiceName));
}

TEST_F(FbServiceOperations, DebugPrivilegeIsOffAfterAStopWhateverItWasBefore) {
    const xqv::TFBServParams params = Install(FbInstallation::VendorSuper);
    ASSERT_TRUE(xqv::SetDebugPrivilege(true));
    EXPECT_EQ(ErrorOf([&] { xqv::StopFbService(params, false); }), kNoError);
    EXPECT_FALSE(testenv::DebugPrivilegeEnabled());
}

// A stopped service stops again: the stop request is refused with the state "stopped", the
// termination finds nothing, and the full pause of 15 seconds follows.
TEST_F(FbServiceOperations, StopOfAStoppedServiceSucceedsAfterTheFullPause) {
    const xqv::TFBServParams params = Install(FbInstallation::VendorSuper);
    ASSERT_EQ(ErrorOf([&] { xqv::StopFbService(params, false); }), kNoError);
    xqv::ServiceStopPauseMs = 15000;
    const ULONGLONG begin = GetTickCount64();
    EXPECT_EQ(ErrorOf([&] { xqv::StopFbService(params, true); }), kNoError);
    const ULONGLONG spent = GetTickCount64() - begin;
    EXPECT_GE(spent, 15000u);
    EXPECT_LT(spent, 20000u);
    EXPECT_EQ(window.plainMessages, std::vector<std::string>{kStopped});
}

} // namespace
