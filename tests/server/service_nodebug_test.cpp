// Process termination when the program's token does not hold the debug privilege (removed from
// the token for good, hence a program of its own): a process whose security descriptor grants
// nobody the right to terminate it then stays, on Windows as under Wine.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "error_of.h"
#include "fb_server.h"
#include "fb_service_fixture.h"
#include "scripted_window.h"
#include "service_control.h"
#include "test_files.h"
#include "test_processes.h"

namespace {

const std::string kFolder = "C:\\xqvtest\\server\\nodebug";

class WithoutDebugPrivilege : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        HANDLE token = nullptr;
        ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid);
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_REMOVED;
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        CloseHandle(token);
    }
    void SetUp() override { testfiles::FreshFolder(kFolder); }
    void TearDown() override { testfiles::RemoveTree(kFolder); }
};

TEST_F(WithoutDebugPrivilege, ThePrivilegeCannotBeSwitched) {
    EXPECT_FALSE(xqv::SetDebugPrivilege(true));
    EXPECT_FALSE(xqv::SetDebugPrivilege(false));
}

TEST_F(WithoutDebugPrivilege, OneProcessThatCannotBeTerminatedMakesTheAnswerFalse) {
    testenv::Sleeper first(kFolder + "\\a\\xqv_kill.exe");
    testenv::Sleeper guarded(kFolder + "\\b\\xqv_kill.exe", true);
    testenv::Sleeper last(kFolder + "\\c\\xqv_kill.exe");
    ASSERT_TRUE(first.started() && guarded.started() && last.started());
    EXPECT_FALSE(xqv::KillProcessesByName("XQV_KILL.EXE"));
    // The others were terminated all the same, before and after it.
    EXPECT_TRUE(first.Ended());
    EXPECT_TRUE(last.Ended());
    EXPECT_TRUE(guarded.running());
}

TEST_F(WithoutDebugPrivilege, StopReportsTheProcessesItCouldNotTerminate) {
    testenv::FbServerRestorer restorer;
    testenv::ScriptedWindow window;
    testenv::InstallFbServer(testenv::FbInstallation::VendorClassic);
    xqv::TFBServParams params;
    xqv::DetectFbServer(params);
    testenv::Sleeper guarded(kFolder + "\\fb_inet_srvorvl.exe", true);
    ASSERT_TRUE(guarded.started());
    EXPECT_EQ(testenv::ErrorOf([&] { xqv::StopFbService(params, true); }),
              "Не удалось остановить процесс(ы):FB_INET_SRVORVL.EXE классического FB сервера. "
              "\rВыполните остановку вручную и повторите попытку.");
    EXPECT_FALSE(testenv::FbServerListening());
    EXPECT_TRUE(window.plainMessages.empty());
}

} // namespace
