// Server discovery against the real registry: each case imports a .reg fixture with the system's
// reg.exe, runs the discovery and removes the keys again.
#include <windows.h>
#include <winternl.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "errors.h"
#include "fb_server.h"
#include "test_files.h"

namespace {

const char* const kVendorKey = "SYSTEM\\CurrentControlSet\\Services\\VelmoraFireXBirdServer";
const char* const kStandardKey =
    "SYSTEM\\CurrentControlSet\\Services\\FirebirdServerDefaultInstance";
const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                  "Firebird 2.0 для ПО ГК \"Вельмора\"";
const char* const kDamaged =
    "Сервис FireBird поврежден или не адаптирован для ПО ГК \"Вельмора\". Обновление прервано.";
const char* const kTypeUnknown = "Тип сервера FB определить не удалось.";

const std::string kFolder = "C:\\xqvtest\\server\\discovery";

// A .reg section that creates key under HKEY_LOCAL_MACHINE with the given value lines.
std::string Section(const std::string& key, const std::string& values = "") {
    return "[HKEY_LOCAL_MACHINE\\" + key + "]\r\n" + values + "\r\n";
}

// A string value line; backslashes and quotes escaped as .reg files want them.
std::string ImagePathLine(const std::string& imagePath) {
    std::string escaped;
    for (char c : imagePath)
        escaped += c == '\\' || c == '"' ? "\\" + std::string(1, c) : std::string(1, c);
    return "\"ImagePath\"=\"" + escaped + "\"\r\n";
}

// How many handles this process holds, from the system's handle table (the per-process count
// is not available everywhere).
int OwnHandleCount() {
    struct Entry {
        ULONG process;
        UCHAR type, flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    std::vector<char> table(1 << 22);
    ULONG length = 0;
    const auto systemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    if (NtQuerySystemInformation(systemHandleInformation, table.data(), ULONG(table.size()),
                                 &length) != 0)
        return -1;
    const ULONG count = *reinterpret_cast<const ULONG*>(table.data());
    const Entry* entries = reinterpret_cast<const Entry*>(table.data() + sizeof(void*));
    int own = 0;
    for (ULONG i = 0; i < count; ++i)
        own += entries[i].process == GetCurrentProcessId();
    return own;
}

class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveKeys();
        testfiles::FreshFolder(kFolder);
    }
    void TearDown() override {
        RemoveKeys();
        testfiles::RemoveTree(kFolder);
    }
    // Both views of HKLM\\SOFTWARE: a test of one view must not leave keys in the other.
    static void RemoveKeys() {
        for (const char* key : {kVendorKey, kStandardKey, kUninstallKey})
            for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
                RemoveKey(key, view);
    }
    static void RemoveKey(const char* path, REGSAM view) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS | view, &key) !=
            ERROR_SUCCESS)
            return;
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, view, 0);
    }

    // Imports the sections as a REGEDIT4 file (Windows-1251) through reg.exe of the system
    // folder, which for a 32-bit program on 64-bit Windows is the 32-bit reg.exe: the keys land
    // in the registry view that this program, and the discovery in it, reads.
    static void Import(const std::string& sections) {
        const std::string file = kFolder + "\\fixture.reg";
        ASSERT_TRUE(testfiles::WriteBytes(file, "REGEDIT4\r\n\r\n" + sections));
        char system[MAX_PATH];
        ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
        std::string commandLine =
            "\"" + std::string(system) + "\\reg.exe\" import \"" + file + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process));
        const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
        DWORD exitCode = 1;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        ASSERT_EQ(waited, WAIT_OBJECT_0);
        ASSERT_EQ(exitCode, 0u) << commandLine;
    }

    // Discovery on an empty record; the error text, empty when there was none.
    std::string Detect() {
        params = xqv::TFBServParams();
        try {
            xqv::DetectFbServer(params);
        } catch (const xqv::Error& error) {
            return error.Message();
        }
        return "";
    }

    void ExpectParams(const std::string& root, const std::string& type, const std::string& prefix,
                      const std::string& exe, const std::string& service) {
        EXPECT_EQ(params.ServerRoot, root);
        EXPECT_EQ(params.ServerType, type);
        EXPECT_EQ(params.ConnectPrefix, prefix);
        EXPECT_EQ(params.ServerExe, exe);
        EXPECT_EQ(params.ServiceName, service);
    }

    xqv::TFBServParams params;
};

TEST_F(Discovery, NoInstallationLeavesEveryFieldEmpty) {
    EXPECT_EQ(Detect(), "");
    ExpectParams("", "", "", "", "");
}

TEST_F(Discovery, ClearsOnlyTheTypeOnEntry) {
    params.ServerType = "SUPER";
    params.ServiceName = "earlier";
    xqv::DetectFbServer(params);
    EXPECT_EQ(params.ServerType, "");
    EXPECT_EQ(params.ServiceName, "earlier");
}

TEST_F(Discovery, VendorSuperServer) {
    Import(Section(kVendorKey, ImagePathLine(kFolder + "\\FB\\bin\\fbsrvorvl.exe -s -p 3052")));
    testfiles::MakeFolders(kFolder + "\\FB");
    EXPECT_EQ(Detect(), "");
    ExpectParams(kFolder + "\\FB\\", "SUPER", "localhost/3052:", "FBSRVORVL.EXE",
                 "VelmoraFireXBirdServer");
}

// A path with blanks is quoted in the image path; the folder check looks inside the quotes.
TEST_F(Discovery, VendorServerWithAQuotedPath) {
    const std::string folder = kFolder + "\\Program Files\\FB";
    Import(Section(kVendorKey, ImagePathLine("\"" + folder + "\\bin\\fbsrvorvl.exe\" -s -p 3052")));
    testfiles::MakeFolders(folder);
    EXPECT_EQ(Detect(), "");
    ExpectParams(folder + "\\", "SUPER", "localhost/3052:", "FBSRVORVL.EXE",
                 "VelmoraFireXBirdServer");
}

TEST_F(Discovery, VendorClassicServerInAnyLetterCaseWithBlanksAfterThePortOption) {
    Import(Section(kVendorKey,
                   ImagePathLine(kFolder + "\\FB\\bin\\Fb_Inet_SrvOrvl.exe -p    3060 -x")));
    testfiles::MakeFolders(kFolder + "\\FB");
    EXPECT_EQ(Detect(), "");
    ExpectParams(kFolder + "\\FB\\", "CLASSIC", "localhost/3060:", "FB_INET_SRVORVL.EXE",
                 "VelmoraFireXBirdServer");
}

TEST_F(Discovery, VendorClassicWinsWhenBothNamesOccurAndNoPortGivesTheDefault) {
    Import(Section(kVendorKey, ImagePathLine(kFolder + "\\FB\\bin\\fb_inet_srvorvl.exe "
                                                       "fbsrvorvl.exe")));
    testfiles::MakeFolders(kFolder + "\\FB");
    EXPECT_EQ(Detect(), "");
    ExpectParams(kFolder + "\\FB\\", "CLASSIC", "localhost/3051:", "FB_INET_SRVORVL.EXE",
                 "VelmoraFireXBirdServer");
}

TEST_F(Discovery, VendorServerWithoutItsInstallationFolderIsDamaged) {
    testfiles::MakeFolders(kFolder + "\\FB");
    // "BIN" in capitals is no "bin" folder; a missing folder in front of "bin" fails too.
    Import(Section(kVendorKey, ImagePathLine(kFolder + "\\FB\\BIN\\fbsrvorvl.exe")));
    EXPECT_EQ(Detect(), kDamaged);
    Import(Section(kVendorKey, ImagePathLine(kFolder + "\\Gone\\bin\\fbsrvorvl.exe -p 3052")));
    EXPECT_EQ(Detect(), kDamaged);
    EXPECT_EQ(params.ServerRoot, kFolder + "\\Gone\\");
}

TEST_F(Discovery, VendorServerOfUnknownTypeFails) {
    Import(Section(kVendorKey, ImagePathLine("C:\\FB\\bin\\fbserver.exe")));
    EXPECT_EQ(Detect(), kTypeUnknown);
    EXPECT_EQ(params.ServiceName, "VelmoraFireXBirdServer");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kVendorKey);
    Import(Section(kVendorKey, "\"DisplayName\"=\"no image path\"\r\n"));
    EXPECT_EQ(Detect(), kTypeUnknown);
}

TEST_F(Discovery, ImagePathThatIsNoTextFails) {
    Import(Section(kVendorKey, "\"ImagePath\"=dword:00000001\r\n"));
    EXPECT_EQ(Detect(),
              "Параметр \"ImagePath\" службы FireBird в реестре имеет неверный тип данных "
              "(Invalid data type for 'ImagePath'). Обновление прервано.");
}

TEST_F(Discovery, StandardSuperServerWithoutPortOptionGetsTheDefaultPort) {
    Import(Section(kUninstallKey) +
           Section(kStandardKey,
                   ImagePathLine("C:\\Program Files\\Firebird\\bin\\fbserver.exe -a -n")));
    EXPECT_EQ(Detect(), "");
    // No folder check on this branch: the folder need not exist.
    ExpectParams("C:\\Program Files\\Firebird\\", "SUPER", "localhost/3051:", "FBSERVER.EXE",
                 "FirebirdGuardianDefaultInstance");
}

TEST_F(Discovery, StandardClassicServerWithCapitalBinAndPortAtTheEnd) {
    Import(Section(kUninstallKey) +
           Section(kStandardKey, ImagePathLine("C:\\FB\\BIN\\FB_INET_SERVER.EXE -p 3052")));
    EXPECT_EQ(Detect(), "");
    ExpectParams("", "CLASSIC", "localhost/3052:", "FB_INET_SERVER.EXE",
                 "FirebirdGuardianDefaultInstance");
}

TEST_F(Discovery, StandardServerOfUnknownTypeFails) {
    Import(Section(kUninstallKey) + Section(kStandardKey, ImagePathLine("C:\\FB\\bin\\x.exe")));
    EXPECT_EQ(Detect(), kTypeUnknown);
}

TEST_F(Discovery, UninstallEntryWithoutServerKeyFindsNothing) {
    Import(Section(kUninstallKey, "\"DisplayName\"=\"Firebird\"\r\n"));
    EXPECT_EQ(Detect(), "");
    ExpectParams("", "", "", "", "");
}

// The maker's installer is a 32-bit program: on 64-bit Windows its uninstall entry lies in the
// 32-bit view of HKLM\\SOFTWARE (Wow6432Node), while the services' keys are one for all. The
// shipped 32-bit updater reads that view and finds the entry there; a 64-bit build reads the
// 64-bit view, where the entry is not.
TEST_F(Discovery, UninstallEntryOfA32BitInstallerIsSeenBy32BitPrograms) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0,
                              KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    Import(Section(kStandardKey, ImagePathLine("C:\\FB\\bin\\fbserver.exe -p 3055")));
    EXPECT_EQ(Detect(), "");
    if (sizeof(void*) == 4) {
        ExpectParams("C:\\FB\\", "SUPER", "localhost/3055:", "FBSERVER.EXE",
                     "FirebirdGuardianDefaultInstance");
    } else {
        ExpectParams("", "", "", "", "");
    }
}

TEST_F(Discovery, StandardServerWithoutUninstallEntryIsNotLookedAt) {
    Import(Section(kStandardKey, ImagePathLine("C:\\FB\\bin\\fbserver.exe")));
    EXPECT_EQ(Detect(), "");
    ExpectParams("", "", "", "", "");
}

TEST_F(Discovery, VendorServerTakesPrecedenceOverTheStandardInstance) {
    testfiles::MakeFolders(kFolder + "\\FB");
    Import(Section(kVendorKey, ImagePathLine(kFolder + "\\FB\\bin\\fbsrvorvl.exe -p 3053")) +
           Section(kUninstallKey) +
           Section(kStandardKey, ImagePathLine("C:\\FB\\bin\\fb_inet_server.exe -p 3054")));
    EXPECT_EQ(Detect(), "");
    ExpectParams(kFolder + "\\FB\\", "SUPER", "localhost/3053:", "FBSRVORVL.EXE",
                 "VelmoraFireXBirdServer");
}

TEST_F(Discovery, KeysAreClosedOnEveryPath) {
    testfiles::MakeFolders(kFolder + "\\FB");
    const int before = OwnHandleCount();
    ASSERT_GT(before, 0);
    // An error path of each branch and a success path, many times over.
    Import(Section(kVendorKey, "\"ImagePath\"=dword:00000001\r\n"));
    for (int i = 0; i < 20; ++i)
        Detect();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kVendorKey);
    Import(Section(kUninstallKey) + Section(kStandardKey, ImagePathLine("C:\\x.exe")));
    for (int i = 0; i < 20; ++i)
        Detect();
    EXPECT_EQ(OwnHandleCount(), before);
}

} // namespace
