// The service routines on the test service in Wine's service manager (starting it starts the
// private Firebird server, stopping it stops the server), and process termination and the debug
// privilege on real processes.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "fb_service_fixture.h"
#include "service_control.h"
#include "test_files.h"
#include "test_processes.h"

namespace {

using testenv::FbInstallation;
using testenv::FbServiceBehaviour;
using xqv::GetServiceState;
using xqv::StartServiceAndWait;
using xqv::StopServiceAndWait;

const char* const kService = "VelmoraFireXBirdServer";
const std::string kFolder = "C:\\xqvtest\\server\\kill";

ULONGLONG Since(ULONGLONG begin) {
    return GetTickCount64() - begin;
}

class ServiceRoutines : public ::testing::Test {
protected:
    void SetUp() override { testenv::InstallFbServer(FbInstallation::VendorSuper); }
    void TearDown() override { testenv::RestoreFbServer(); }

    static void Behave(void (*change)(FbServiceBehaviour&)) {
        FbServiceBehaviour behaviour;
        change(behaviour);
        testenv::SetFbServiceBehaviour(behaviour);
    }
};

TEST_F(ServiceRoutines, StopAndStartWaitForTheServiceAndItsServer) {
    ASSERT_EQ(GetServiceState("", kService), DWORD(SERVICE_RUNNING));
    EXPECT_TRUE(StopServiceAndWait("", kService));
    EXPECT_EQ(GetServiceState("", kService), DWORD(SERVICE_STOPPED));
    EXPECT_FALSE(testenv::FbServerListening());
    // The stop request of a stopped service is refused but reports the state.
    EXPECT_TRUE(StopServiceAndWait("", kService));

    EXPECT_TRUE(StartServiceAndWait("", kService));
    EXPECT_EQ(GetServiceState("", kService), DWORD(SERVICE_RUNNING));
    EXPECT_TRUE(testenv::FbServerListening());
    // A running service refuses a second start.
    EXPECT_FALSE(StartServiceAndWait("", kService));
    EXPECT_EQ(GetServiceState("", kService), DWORD(SERVICE_RUNNING));
}

TEST(ServiceRoutinesOnNoService, AnUnknownNameIsNeitherStoppedNorStartedAndCountsAsStopped) {
    for (const char* name : {"XqvNoSuchService", ""}) {
        EXPECT_FALSE(StopServiceAndWait("", name)) << name;
        EXPECT_FALSE(StartServiceAndWait("", name)) << name;
        EXPECT_EQ(GetServiceState("", name), DWORD(SERVICE_STOPPED)) << name;
    }
}

TEST_F(ServiceRoutines, RefusedStopLeavesTheServiceRunning) {
    Behave([](FbServiceBehaviour& b) { b.refuseStop = true; });
    EXPECT_FALSE(StopServiceAndWait("", kService));
    EXPECT_EQ(GetServiceState("", kService), DWORD(SERVICE_RUNNING));
    EXPECT_TRUE(testenv::FbServerListening());
}

TEST_F(ServiceRoutines, StartEndsAtOnceWhenTheServiceFallsBackToStopped) {
    ASSERT_TRUE(StopServiceAndWait("", kService));
    Behave([](FbServiceBehaviour& b) { b.refuseStart = true; });
    const ULONGLONG begin = GetTickCount64();
    EXPECT_FALSE(StartServiceAndWait("", kService));
    // Long before the bound of three minutes.
    EXPECT_LT(Since(begin), 10000u);
    EXPECT_EQ(GetServiceState("", kService), DWORD(SERVICE_STOPPED));
    EXPECT_FALSE(testenv::FbServerListening());
}

// A service that stays pending with a steady checkpoint keeps the routines waiting until their
// bound; the last sleep is cut to what remains of it (the service asks for waits of 2 s, so an
// uncut sleep would end the wait at 4 s). The service is left in the pending state.
TEST_F(ServiceRoutines, StuckServiceKeepsTheWaitGoingUntilTheBound) {
    const auto expectBoundEnds = [](bool (*routine)(const std::string&, const std::string&, DWORD),
                                    DWORD pendingState) {
        const ULONGLONG begin = GetTickCount64();
        EXPECT_FALSE(routine("", kService, 2500));
        EXPECT_GE(Since(begin), 2500u);
        EXPECT_LT(Since(begin), 3500u);
        EXPECT_EQ(GetServiceState("", kService), pendingState);
    };
    ASSERT_TRUE(StopServiceAndWait("", kService));
    Behave([](FbServiceBehaviour& b) { b.stuckPending = true; });
    expectBoundEnds(StartServiceAndWait, SERVICE_START_PENDING);
    // Out of the stuck start into a running service that gets stuck stopping.
    testenv::RestoreFbServer();
    Behave([](FbServiceBehaviour& b) { b.stuckPending = true; });
    expectBoundEnds(StopServiceAndWait, SERVICE_STOP_PENDING);
}

TEST_F(ServiceRoutines, EveryProcessLeftByAClassicServerIsTerminated) {
    testenv::InstallFbServer(FbInstallation::VendorClassic);
    Behave([](FbServiceBehaviour& b) { b.leftoverProcesses = 3; });
    ASSERT_TRUE(StopServiceAndWait("", kService));
    // The service's own process (of the same name) ends by itself.
    ASSERT_EQ(testenv::WaitForProcessCount("fb_inet_srvorvl.exe", 3), 3);
    EXPECT_TRUE(xqv::KillProcessesByName("FB_INET_SRVORVL.EXE"));
    EXPECT_EQ(testenv::WaitForProcessCount("fb_inet_srvorvl.exe", 0), 0);
    // Nothing left to terminate.
    EXPECT_TRUE(xqv::KillProcessesByName("FB_INET_SRVORVL.EXE"));
}

class ProcessTermination : public ::testing::Test {
protected:
    void SetUp() override { testfiles::FreshFolder(kFolder); }
    void TearDown() override { testfiles::RemoveTree(kFolder); }
};

TEST_F(ProcessTermination, MatchesTheWholeFileNameInAnyLetterCase) {
    testenv::Sleeper first(kFolder + "\\Xqv_Sleeper.exe");
    testenv::Sleeper second(kFolder + "\\b\\Xqv_Sleeper.exe");
    testenv::Sleeper other(kFolder + "\\Xqv_Sleeper2.exe");
    ASSERT_TRUE(first.started() && second.started() && other.started());
    // Part of a name, or the name without its extension, is another name.
    EXPECT_TRUE(xqv::KillProcessesByName("XQV_SLEEPER"));
    EXPECT_TRUE(xqv::KillProcessesByName("sleeper.exe"));
    EXPECT_TRUE(first.running() && second.running());

    EXPECT_TRUE(xqv::KillProcessesByName("xqv_sleeper.EXE"));
    EXPECT_TRUE(first.Ended());
    EXPECT_TRUE(second.Ended());
    EXPECT_TRUE(other.running());
}

TEST_F(ProcessTermination, LeavesTheOwnProcessAlone) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string ownName = self;
    ownName = ownName.substr(ownName.find_last_of('\\') + 1);
    testenv::Sleeper namesake(kFolder + "\\" + ownName);
    ASSERT_TRUE(namesake.started());
    EXPECT_TRUE(xqv::KillProcessesByName(ownName));
    EXPECT_TRUE(namesake.Ended());
}

TEST(DebugPrivilege, SwitchesOnAndOff) {
    EXPECT_TRUE(xqv::SetDebugPrivilege(true));
    EXPECT_TRUE(testenv::DebugPrivilegeEnabled());
    EXPECT_TRUE(xqv::SetDebugPrivilege(false));
    EXPECT_FALSE(testenv::DebugPrivilegeEnabled());
    EXPECT_TRUE(xqv::SetDebugPrivilege(false));
}

} // namespace
