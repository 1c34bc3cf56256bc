// A client library that does not load: the error names the library, the file found for it and
// the reason, whatever the system's own error code says.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "errors.h"
#include "fb_client.h"
#include "test_files.h"

namespace {

const std::string kCannotLoad = "Невозможно загрузить клиентскую библиотеку \"";
const std::string kFolder = "C:\\xqvtest\\database\\load";

std::string LoadError(const std::string& fileName) {
    try {
        xqv::fb::ClientLibrary::Load(fileName);
    } catch (const xqv::Error& error) {
        return error.Message();
    }
    return "";
}

// The libraries built for these tests (tests/database/CMakeLists.txt).
std::string Fixture(const std::string& name) {
    return testfiles::ProgramFolder() + "\\load_fixtures\\" + name;
}

std::string OwnBits() {
    return std::to_string(sizeof(void*) * 8);
}

class ClientLibraryLoad : public ::testing::Test {
protected:
    void SetUp() override { testfiles::FreshFolder(kFolder); }
    void TearDown() override {
        SetCurrentDirectoryA(testfiles::ProgramFolder().c_str());
        testfiles::RemoveTree(kFolder);
    }
};

TEST_F(ClientLibraryLoad, MissingLibraryIsNamedAsNotFound) {
    EXPECT_EQ(LoadError("xqv_no_such_client.dll"),
              kCannotLoad + "xqv_no_such_client.dll\": библиотека не найдена.");
    const std::string path = kFolder + "\\gone\\fbclient.dll";
    EXPECT_EQ(LoadError(path), kCannotLoad + path + "\": библиотека не найдена.");
}

// On 64-bit Windows the wrong bitness is the usual fault: a 64-bit client library in the
// folder of the 32-bit updater. Found by name along the search path (here the current folder),
// the file is named with the reason.
TEST_F(ClientLibraryLoad, LibraryOfTheOtherBitnessIsNamedWithItsPath) {
    const std::string copy = kFolder + "\\xqv_other_bits.dll";
    ASSERT_TRUE(CopyFileA(Fixture("other_bitness.dll").c_str(), copy.c_str(), FALSE));
    const std::string reason =
        "файл " + copy + " не является " + OwnBits() + "-разрядной библиотекой.";
    EXPECT_EQ(LoadError(copy), kCannotLoad + copy + "\": " + reason);
    ASSERT_TRUE(SetCurrentDirectoryA(kFolder.c_str()));
    EXPECT_EQ(LoadError("xqv_other_bits.dll"), kCannotLoad + "xqv_other_bits.dll\": " + reason);
}

TEST_F(ClientLibraryLoad, LibraryWhoseDependencyIsMissingSaysSo) {
    const std::string needs = Fixture("xqv_needs_absent.dll");
    ASSERT_TRUE(testfiles::Exists(needs));
    EXPECT_EQ(LoadError(needs), kCannotLoad + needs +
                                    "\": не найдена одна из библиотек, нужных файлу " + needs +
                                    ".");
}

TEST_F(ClientLibraryLoad, FileThatIsNoLibrarySaysSo) {
    const std::string text = kFolder + "\\fbclient.dll";
    ASSERT_TRUE(testfiles::WriteBytes(text, "not a library\r\n"));
    EXPECT_EQ(LoadError(text),
              kCannotLoad + text + "\": файл " + text + " не является библиотекой Windows.");
    // A DOS header whose PE offset points past the end is no library either.
    std::string dos(64, '\0');
    dos[0] = 'M', dos[1] = 'Z', dos[0x3C] = '\x7f', dos[0x3D] = '\x7f';
    ASSERT_TRUE(testfiles::WriteBytes(text, dos));
    EXPECT_EQ(LoadError(text),
              kCannotLoad + text + "\": файл " + text + " не является библиотекой Windows.");
}

} // namespace
