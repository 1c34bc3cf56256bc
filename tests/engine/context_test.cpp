// The update context built from real folders and the real registry.
#include <windows.h>
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "errors.h"
#include "fb_server.h"
#include "scripted_window.h"
#include "system_routines.h"
#include "test_env.h"
#include "test_files.h"
#include "update.h"

namespace {

const std::string kBase = "C:\\xqvtest\\engine\\context";
const std::string kLocation = kBase + "\\OrveLin";

class InitVariablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.profile.ClientExeName = "OrveLin.exe";
        window.profile.DatabaseFileName = "OrveLin.fdb";
        window.profile.DbConnectPrefix = "localhost/3051:";
        testfiles::FreshFolder(kLocation + "\\Program");
        testfiles::MakeFolders(kLocation + "\\DB_Data");
        ASSERT_TRUE(testfiles::WriteBytes(kLocation + "\\Program\\OrveLin.exe", "exe"));
        ASSERT_TRUE(testfiles::WriteBytes(kLocation + "\\DB_Data\\OrveLin.fdb", "db"));
    }
    void TearDown() override {
        SetCurrentDirectoryA(testfiles::ProgramFolder().c_str());
        testfiles::RemoveTree(kBase);
    }
    std::string InitError(const std::string& location) {
        try {
            xqv::InitVariables(location);
        } catch (const xqv::Error& error) {
            return error.Message();
        }
        return "<no error>";
    }
    static bool IsTimeStamp(const std::string& text) {
        return text.size() == 12 && text.find_first_not_of("0123456789") == std::string::npos;
    }

    testenv::ScriptedWindow window;
    const xqv::UpdateContext& context = xqv::Context;
};

TEST_F(InitVariablesTest, BuildsEveryPathOfTheRunAndFindsBothParts) {
    xqv::InitVariables(kLocation);
    EXPECT_EQ(context.ProgramLocation, kLocation);
    EXPECT_EQ(context.ProgramDir, kLocation + "\\Program");
    EXPECT_EQ(context.DatabaseDir, kLocation + "\\DB_Data");
    const std::string prefix = kLocation + "\\Tmp$";
    ASSERT_EQ(context.TempDir.compare(0, prefix.size(), prefix), 0) << context.TempDir;
    EXPECT_TRUE(IsTimeStamp(context.TempDir.substr(prefix.size()))) << context.TempDir;
    EXPECT_EQ(context.NewDir, context.TempDir + "\\New");
    EXPECT_EQ(context.BackupDir, context.TempDir + "\\Old");
    EXPECT_EQ(context.BackupProgramDir, context.TempDir + "\\Old\\Program");
    EXPECT_EQ(context.BackupDatabaseDir, context.TempDir + "\\Old\\DB_Data");
    EXPECT_EQ(context.DbConnectString, "localhost/3051:" + kLocation + "\\DB_Data\\OrveLin.fdb");
    EXPECT_TRUE(context.ClientPartFound);
    EXPECT_TRUE(context.ServerPartFound);
    EXPECT_EQ(window.logLines, (std::vector<std::string>{"Инициализация переменных...",
                                                         "Завершена инициализация переменных"}));
    EXPECT_EQ(window.processMessagesCalls, 2);
    // Nothing is created on disk.
    EXPECT_FALSE(testfiles::Exists(context.TempDir));
}

TEST_F(InitVariablesTest, KeepsATypedTrailingBackslashWithoutDoublingIt) {
    xqv::InitVariables(kLocation + "\\");
    EXPECT_EQ(context.ProgramLocation, kLocation + "\\");
    EXPECT_EQ(context.ProgramDir, kLocation + "\\Program");
    EXPECT_EQ(context.TempDir.substr(0, kLocation.size() + 5), kLocation + "\\Tmp$");
}

TEST_F(InitVariablesTest, AcceptsADriveRoot) {
    xqv::InitVariables("C:\\");
    EXPECT_EQ(context.ProgramDir, "C:\\Program");
    EXPECT_EQ(context.DatabaseDir, "C:\\DB_Data");
    EXPECT_EQ(context.TempDir.substr(0, 7), "C:\\Tmp$");
    EXPECT_FALSE(context.ClientPartFound);
    EXPECT_FALSE(context.ServerPartFound);
}

TEST_F(InitVariablesTest, ExpandsARelativeLocationAgainstTheCurrentFolder) {
    ASSERT_TRUE(SetCurrentDirectoryA(kBase.c_str()));
    xqv::InitVariables("OrveLin");
    EXPECT_EQ(context.ProgramLocation, kLocation);
    EXPECT_EQ(InitError("Missing"),
              "Путь к обновляемой программе \"" + kBase + "\\Missing\" не найден!");
}

TEST_F(InitVariablesTest, RefusesAMissingFolderOrAFile) {
    EXPECT_EQ(InitError(kBase + "\\Missing"),
              "Путь к обновляемой программе \"" + kBase + "\\Missing\" не найден!");
    EXPECT_EQ(InitError(kLocation + "\\Program\\OrveLin.exe"),
              "Путь к обновляемой программе \"" + kLocation +
                  "\\Program\\OrveLin.exe\" не найден!");
    EXPECT_EQ(window.logLines, (std::vector<std::string>{"Инициализация переменных...",
                                                         "Инициализация переменных..."}));
}

TEST_F(InitVariablesTest, RefusesAnExistingNetworkPath) {
    // Wine serves \\server\share from the prefix's dosdevices\unc folder.
    const std::string unc =
        testfiles::FromUnixPath(testenv::Value("XQV_WINEPREFIX")) + "\\dosdevices\\unc\\xqvsrvtest";
    testfiles::MakeFolders(unc + "\\share\\OrveLin");
    const std::string location = "\\\\xqvsrvtest\\share\\OrveLin";
    const bool exists = testfiles::Exists(location);
    const std::string error = InitError(location);
    testfiles::RemoveTree(unc);
    RemoveDirectoryA(xqv::FolderPart(unc).c_str()); // the unc folder, when nothing else is in it
    ASSERT_TRUE(exists);
    EXPECT_EQ(error, "Путь к обновляемой программе \"" + location + "\" не является локальным!");
}

TEST_F(InitVariablesTest, PartsAreFoundOnlyByTheirFiles) {
    // A folder bearing the client executable's name is no client executable.
    testfiles::RemoveTree(kLocation + "\\Program\\OrveLin.exe");
    testfiles::MakeFolders(kLocation + "\\Program\\OrveLin.exe");
    xqv::InitVariables(kLocation);
    EXPECT_FALSE(context.ClientPartFound);
    EXPECT_TRUE(context.ServerPartFound);
    testfiles::RemoveTree(kLocation + "\\DB_Data\\OrveLin.fdb");
    xqv::InitVariables(kLocation);
    EXPECT_FALSE(context.ServerPartFound);
}

TEST_F(InitVariablesTest, CallsASecondApartGetDifferentTemporaryFolders) {
    xqv::InitVariables(kLocation);
    const std::string first = context.TempDir;
    Sleep(1100);
    xqv::InitVariables(kLocation);
    EXPECT_NE(context.TempDir, first);
}

TEST(TimeStamp, IsDayMonthYearHourMinuteSecondOnA24HourClock) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 8;
    time.wHour = 13;
    time.wMinute = 5;
    time.wSecond = 9;
    EXPECT_EQ(xqv::TimeStampText(time), "081226130509");
    time.wHour = 1;
    time.wYear = 2005;
    EXPECT_EQ(xqv::TimeStampText(time), "081205010509");
}

// Discovery inside the context: its result is kept only when it succeeds.
class ContextServer : public InitVariablesTest {
protected:
    const char* const vendorKey = "SYSTEM\\CurrentControlSet\\Services\\VelmoraFireXBirdServer";
    const char* const standardKey =
        "SYSTEM\\CurrentControlSet\\Services\\FirebirdServerDefaultInstance";
    const char* const uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                     "Firebird 2.0 для ПО ГК \"Вельмора\"";

    void SetUp() override {
        InitVariablesTest::SetUp();
        RemoveKeys();
    }
    void TearDown() override {
        RemoveKeys();
        InitVariablesTest::TearDown();
    }
    void RemoveKeys() {
        for (const char* key : {vendorKey, standardKey, uninstallKey})
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
    }
    static void SetKey(const char* key, const char* imagePath, DWORD type = REG_SZ) {
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &handle, nullptr),
                  ERROR_SUCCESS);
        if (imagePath) {
            DWORD number = 1;
            const BYTE* data = type == REG_DWORD ? reinterpret_cast<const BYTE*>(&number)
                                                 : reinterpret_cast<const BYTE*>(imagePath);
            DWORD size = type == REG_DWORD ? sizeof number : DWORD(strlen(imagePath) + 1);
            RegSetValueExA(handle, "ImagePath", 0, type, data, size);
        }
        RegCloseKey(handle);
    }
};

TEST_F(ContextServer, CopiesTheDiscoveredServerOnSuccessOnly) {
    SetKey(uninstallKey, nullptr);
    SetKey(standardKey, "C:\\FB\\bin\\fb_inet_server.exe -p 3052");
    xqv::InitVariables(kLocation);
    EXPECT_EQ(xqv::FbServParams.ServerType, "CLASSIC");
    EXPECT_EQ(xqv::FbServParams.ServiceName, "FirebirdGuardianDefaultInstance");
    // The database string keeps the profile's prefix, not the server's port.
    EXPECT_EQ(context.DbConnectString, "localhost/3051:" + kLocation + "\\DB_Data\\OrveLin.fdb");

    SetKey(vendorKey, "x", REG_DWORD);
    EXPECT_EQ(InitError(kLocation),
              "Параметр \"ImagePath\" службы FireBird в реестре имеет неверный тип данных "
              "(Invalid data type for 'ImagePath'). Обновление прервано.");
    EXPECT_EQ(xqv::FbServParams.ServerType, "CLASSIC");
    EXPECT_EQ(xqv::FbServParams.ServiceName, "FirebirdGuardianDefaultInstance");

    RemoveKeys();
    xqv::InitVariables(kLocation);
    EXPECT_EQ(xqv::FbServParams.ServerType, "");
    EXPECT_EQ(xqv::FbServParams.ServiceName, "");
}

} // namespace
