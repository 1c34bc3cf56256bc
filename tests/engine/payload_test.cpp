// The payload readers on the test program's own resources (payload_test.rc).
#include <windows.h>
#include <gtest/gtest.h>
#include "error_of.h"
#include <string>
#include "errors.h"
#include "scripted_window.h"
#include "test_files.h"
#include "update.h"

namespace {

using testfiles::ReadBytes;

const std::string kFolder = "C:\\xqvtest\\engine\\payload";
// The FILES resource: "MZ", a zero word, "payload", the word 0x1234.
const std::string kPayload("MZ\0\0payload\x34\x12", 13);

using testenv::ErrorOf;

class Payload : public ::testing::Test {
protected:
    void SetUp() override { testfiles::FreshFolder(kFolder); }
    void TearDown() override { testfiles::RemoveTree(kFolder); }
    testenv::ScriptedWindow window;
};

TEST_F(Payload, ExtractsTheResourceOverALongerFile) {
    const std::string file = kFolder + "\\files.exe";
    ASSERT_TRUE(testfiles::WriteBytes(file, std::string(100000, 'o')));
    xqv::ExtractResourceToFile(file, "");
    EXPECT_EQ(ReadBytes(file), kPayload);
}

TEST_F(Payload, ResourceNamesIgnoreLetterCase) {
    xqv::ExtractResourceToFile(kFolder + "\\upper.exe", "FILES");
    xqv::ExtractResourceToFile(kFolder + "\\lower.exe", "files");
    EXPECT_EQ(ReadBytes(kFolder + "\\upper.exe"), kPayload);
    EXPECT_EQ(ReadBytes(kFolder + "\\lower.exe"), kPayload);
}

TEST_F(Payload, ExtractFailuresCarryTheResourceNameAndThePlatformsMessage) {
    EXPECT_EQ(ErrorOf([] { xqv::ExtractResourceToFile(kFolder + "\\missing\\files.exe", ""); }),
              "Ошибка работы с ресурсом \"files\"!\rCannot create file " + kFolder +
                  "\\missing\\files.exe");
    EXPECT_EQ(ErrorOf([] { xqv::ExtractResourceToFile(kFolder + "\\x.exe", "nothere"); }),
              "Ошибка работы с ресурсом \"nothere\"!\rResource nothere not found");
    EXPECT_FALSE(testfiles::Exists(kFolder + "\\x.exe"));
}

TEST_F(Payload, ExtractExpandsARelativeFileName) {
    ASSERT_TRUE(SetCurrentDirectoryA(kFolder.c_str()));
    xqv::ExtractResourceToFile("relative.exe", "");
    SetCurrentDirectoryA(testfiles::ProgramFolder().c_str());
    EXPECT_EQ(ReadBytes(kFolder + "\\relative.exe"), kPayload);
}

TEST_F(Payload, TextEndsAtTheFirstZeroByteOrTheResourcesEnd) {
    EXPECT_EQ(xqv::LoadResourceText("zerotext", "TEXT"), "before the zero");
    EXPECT_EQ(xqv::LoadResourceText("PLAINTEXT", "text"), "select 1 from rdb$database;\r\n");
    EXPECT_EQ(ErrorOf([] { xqv::LoadResourceText("script", "TEXT"); }),
              "Не найден ресурс \"script\"!");
}

TEST_F(Payload, APayloadThatCannotRunFailsAfterItIsWritten) {
    EXPECT_EQ(ErrorOf([] { xqv::UnpackPayload(kFolder); }),
              "Невозможно запустить внешнюю программу!");
    EXPECT_EQ(ReadBytes(kFolder + "\\files.exe"), kPayload);
}

} // namespace
