// Proves the Windows side of the test environment: code page 1251, resources of the program's
// own exe, folders, and the Firebird test server reached through fbclient.dll with a Windows
// database path.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "fb_dpb.h"
#include "test_env.h"

namespace {

TEST(WindowsEnvironment, AnsiCodePageIs1251) {
    EXPECT_EQ(GetACP(), 1251u);
}

TEST(WindowsEnvironment, ReadsCustomResourceOfOwnExe) {
    HRSRC info = FindResourceA(nullptr, "SMOKE", "TEXT");
    ASSERT_NE(info, nullptr);
    HGLOBAL data = LoadResource(nullptr, info);
    ASSERT_NE(data, nullptr);
    std::string text(static_cast<const char*>(LockResource(data)), SizeofResource(nullptr, info));
    EXPECT_EQ(text, "Ресурс проверки: строка в кодировке 1251.");
}

TEST(WindowsEnvironment, CreatesAndDeletesFolderWithCyrillicName) {
    const std::string folder = "C:\\xqvtest\\Папка проверки";
    CreateDirectoryA("C:\\xqvtest", nullptr);
    RemoveDirectoryA(folder.c_str());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    DWORD attributes = GetFileAttributesA(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

using Status = intptr_t;
using Handle = unsigned int;
using CreateFn = Status(WINAPI*)(Status*, short, const char*, Handle*, short, const char*, short);
using AttachFn = Status(WINAPI*)(Status*, short, const char*, Handle*, short, const char*);
using DetachFn = Status(WINAPI*)(Status*, Handle*);
using InfoFn = Status(WINAPI*)(Status*, Handle*, short, const char*, short, char*);
using InterpretFn = long(WINAPI*)(char*, unsigned, const Status**);

template <typename F> F Proc(HMODULE lib, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

std::string StatusText(InterpretFn interpret, const Status* status) {
    std::string text;
    char line[512];
    const Status* cursor = status;
    while (interpret(line, sizeof line, &cursor) > 0)
        text += std::string(line) + "\n";
    return text;
}

TEST(WindowsEnvironment, AttachesThroughFbclientDllWithWindowsPath) {
    HMODULE lib = LoadLibraryA("fbclient.dll");
    ASSERT_NE(lib, nullptr) << "fbclient.dll not loadable";
    auto create = Proc<CreateFn>(lib, "isc_create_database");
    auto attach = Proc<AttachFn>(lib, "isc_attach_database");
    auto detach = Proc<DetachFn>(lib, "isc_detach_database");
    auto drop = Proc<DetachFn>(lib, "isc_drop_database");
    auto info = Proc<InfoFn>(lib, "isc_database_info");
    auto interpret = Proc<InterpretFn>(lib, "fb_interpret");
    ASSERT_TRUE(create && attach && detach && drop && info && interpret);

    CreateDirectoryA("C:\\xqvtest", nullptr);
    const std::string path = "C:\\xqvtest\\smoke.fdb";
    DeleteFileA(path.c_str());
    const std::string db = "localhost/" + testenv::FbPort() + ":" + path;
    const std::string dpb = testenv::UserDpb(testenv::FbUser(), testenv::FbPassword());
    Status status[20] = {};
    Handle handle = 0;
    ASSERT_EQ(create(status, 0, db.c_str(), &handle, short(dpb.size()), dpb.data(), 0), 0)
        << StatusText(interpret, status);
    ASSERT_EQ(detach(status, &handle), 0) << StatusText(interpret, status);
    // The file the server created is the one the Windows path names.
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_EQ(attach(status, 0, db.c_str(), &handle, short(dpb.size()), dpb.data()), 0)
        << StatusText(interpret, status);
    const char items[] = {62 /* isc_info_ods_version */, 1 /* isc_info_end */};
    char answer[64] = {};
    EXPECT_EQ(info(status, &handle, sizeof items, items, sizeof answer, answer), 0);
    EXPECT_EQ(answer[0], 62);
    ASSERT_EQ(drop(status, &handle), 0) << StatusText(interpret, status);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::string wrong = testenv::UserDpb(testenv::FbUser(), "wrong-password");
    EXPECT_NE(create(status, 0, db.c_str(), &handle, short(wrong.size()), wrong.data(), 0), 0);
    EXPECT_NE(StatusText(interpret, status).find("password"), std::string::npos);
    FreeLibrary(lib);
}

} // namespace
