// The run log's file: its name, its bytes, truncation, and the error box's full-stop rule.
#include <windows.h>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include "errors.h"
#include "run_log.h"
#include "system_routines.h"
#include "test_files.h"

namespace {

const std::string kFolder = "C:\\xqvtest\\ui\\runlog";

class RunLogFile : public ::testing::Test {
protected:
    void SetUp() override {
        testfiles::RemoveTree(kFolder);
        CreateDirectoryA("C:\\xqvtest", nullptr);
        CreateDirectoryA("C:\\xqvtest\\ui", nullptr);
    }
    void TearDown() override { testfiles::RemoveTree(kFolder); }
};

TEST(RunLogName, TwoDigitFieldsFromFixedTime) {
    SYSTEMTIME t = {};
    t.wYear = 2026, t.wMonth = 12, t.wDay = 8, t.wHour = 0, t.wMinute = 54, t.wSecond = 4;
    EXPECT_EQ(xqv::LogFileName("C:\\App", t), "C:\\App\\Logs\\081226-005404_Updater.log");
    t.wMonth = 1, t.wDay = 31, t.wHour = 9, t.wMinute = 0, t.wSecond = 59;
    EXPECT_EQ(xqv::LogFileName("C:\\App", t), "C:\\App\\Logs\\310126-090059_Updater.log");
    t.wHour = 23;
    EXPECT_EQ(xqv::LogFileName("C:\\App", t), "C:\\App\\Logs\\310126-230059_Updater.log");
}

SYSTEMTIME FixedStart() {
    SYSTEMTIME t = {};
    t.wYear = 2026, t.wMonth = 12, t.wDay = 8, t.wHour = 0, t.wMinute = 54, t.wSecond = 4;
    return t;
}

TEST_F(RunLogFile, CreatesFolderAndEmptyFileThenEntriesAsBytes) {
    const std::string file = kFolder + "\\Logs\\081226-005404_Updater.log";
    EXPECT_EQ(xqv::CreateLogFile(kFolder, FixedStart()), file);
    EXPECT_EQ(testfiles::ReadBytes(file), "");
    xqv::AppendLogEntry(file, "08.12.2026 - 0:54:04: первая");
    xqv::AppendLogEntry(file, "08.12.2026 - 0:54:05: вторая\rс переводом");
    EXPECT_EQ(testfiles::ReadBytes(file), "\r08.12.2026 - 0:54:04: первая\r\n"
                                          "\r08.12.2026 - 0:54:05: вторая\rс переводом\r\n");
}

// A second start within the same second may find the first still running: its log stays whole.
TEST_F(RunLogFile, LaterStartsInTheSameSecondGetFilesOfTheirOwn) {
    const std::string first = xqv::CreateLogFile(kFolder, FixedStart());
    xqv::AppendLogEntry(first, "запись первого запуска");
    const std::string second = xqv::CreateLogFile(kFolder, FixedStart());
    EXPECT_EQ(second, kFolder + "\\Logs\\081226-005404_2_Updater.log");
    EXPECT_EQ(testfiles::ReadBytes(first), "\rзапись первого запуска\r\n");
    EXPECT_EQ(testfiles::ReadBytes(second), "");
    EXPECT_EQ(xqv::CreateLogFile(kFolder, FixedStart()),
              kFolder + "\\Logs\\081226-005404_3_Updater.log");
}

TEST_F(RunLogFile, AppendToVanishedFileIsInOutError) {
    const std::string file = xqv::CreateLogFile(kFolder, FixedStart());
    ASSERT_TRUE(DeleteFileA(file.c_str()));
    try {
        xqv::AppendLogEntry(file, "x");
        FAIL() << "no error";
    } catch (const xqv::InOutError& e) {
        EXPECT_STREQ(e.KindName(), "EInOutError");
        EXPECT_EQ(e.Message(), "File not found");
    }
}

TEST(RunLogLine, DateDashTimeColonText) {
    // The Russian regional settings: day.month.year and hour:minute:second.
    const std::string line = xqv::TimeStampedLine("текст");
    EXPECT_TRUE(
        std::regex_match(line, std::regex(R"(\d\d\.\d\d\.\d{4} - \d{1,2}:\d\d:\d\d: текст)")))
        << line;
}

TEST(ErrorBox, FullStopAfterLettersAndDigitsOnly) {
    EXPECT_EQ(xqv::ErrorBoxText("Ошибка"), "Ошибка.");
    EXPECT_EQ(xqv::ErrorBoxText("Код 42"), "Код 42.");
    EXPECT_EQ(xqv::ErrorBoxText("Не найден!"), "Не найден!");
    EXPECT_EQ(xqv::ErrorBoxText("(скобка)"), "(скобка)");
    EXPECT_EQ(xqv::ErrorBoxText("Точка."), "Точка.");
    EXPECT_EQ(xqv::ErrorBoxText("косая/"), "косая/.");
    EXPECT_EQ(xqv::ErrorBoxText("Строка\r"), "Строка\r");
    EXPECT_EQ(xqv::ErrorBoxText(""), "");
}

} // namespace
