// The system routines on real files, disks and processes.
#include <windows.h>
#include <winioctl.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include "errors.h"
#include "scripted_window.h"
#include "system_routines.h"
#include "test_files.h"

namespace {

using testfiles::ReadBytes;
using testfiles::WriteBytes;

const std::string kRoot = "C:\\xqvtest\\server\\routines";

// Each test works in a fresh folder of its own, so that nothing another test leaves behind (a
// folder Wine has not let go of yet, say) can change what it finds.
class Routines : public ::testing::Test {
protected:
    void SetUp() override {
        testFolder = kRoot + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        testfiles::FreshFolder(testFolder);
    }
    void TearDown() override {
        SetCurrentDirectoryA(testfiles::ProgramFolder().c_str());
        testfiles::RemoveTree(testFolder);
    }
    // Copies the helper program to path.
    static void PlaceChild(const std::string& path) {
        ASSERT_TRUE(CopyFileA((testfiles::ProgramFolder() + "\\srv_child.exe").c_str(),
                              path.c_str(), FALSE));
    }
    static std::string ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const xqv::Error& error) {
            return error.Message();
        }
        return "<no error>";
    }

    testenv::ScriptedWindow window;
    std::string testFolder;
};

TEST(TwoDigits, PadsShortNumbersAndKeepsTheLastTwoDigitsOfLongOnes) {
    EXPECT_EQ(xqv::IntToTwoDigits(0), "00");
    EXPECT_EQ(xqv::IntToTwoDigits(7), "07");
    EXPECT_EQ(xqv::IntToTwoDigits(26), "26");
    EXPECT_EQ(xqv::IntToTwoDigits(2026), "26");
    EXPECT_EQ(xqv::IntToTwoDigits(-5), "-5");
    EXPECT_EQ(xqv::IntToTwoDigits(-123), "23");
}

TEST(Paths, JoinDriveAndFolderParts) {
    EXPECT_EQ(xqv::JoinPath("C:\\XQV\\OrveLin", "Program"), "C:\\XQV\\OrveLin\\Program");
    EXPECT_EQ(xqv::JoinPath("C:\\XQV\\OrveLin\\", "Program"), "C:\\XQV\\OrveLin\\Program");
    EXPECT_EQ(xqv::JoinPath("C:\\", "Program"), "C:\\Program");
    EXPECT_EQ(xqv::DrivePart("C:\\XQV\\OrveLin"), "C:");
    EXPECT_EQ(xqv::DrivePart("\\\\server\\share\\folder\\x"), "\\\\server\\share");
    EXPECT_EQ(xqv::DrivePart("\\\\server\\share"), "\\\\server\\share");
    EXPECT_EQ(xqv::DrivePart("folder"), "");
    EXPECT_TRUE(xqv::IsNetworkPath("\\\\server\\share\\folder"));
    EXPECT_FALSE(xqv::IsNetworkPath("\\\\?\\C:\\folder"));
    EXPECT_FALSE(xqv::IsNetworkPath("C:\\folder"));
    EXPECT_EQ(xqv::FolderPart("C:\\XQV\\New\\files.exe"), "C:\\XQV\\New");
    EXPECT_EQ(xqv::FolderPart("C:\\files.exe"), "C:\\");
    EXPECT_EQ(xqv::FolderPart("\\\\server\\share\\files.exe"), "\\\\server\\share");
}

TEST_F(Routines, RunAndWaitReturnsTheExitCodeAndRunsInTheProgramsFolder) {
    const std::string folder = testfiles::FreshFolder(testFolder + "\\run");
    PlaceChild(folder + "\\child.exe");
    SetCurrentDirectoryA(testFolder.c_str());
    const std::string report = testFolder + "\\report.txt";
    // A relative program path is expanded against the current folder.
    EXPECT_EQ(xqv::RunAndWait("run\\child.exe", " report \"" + report + "\" 77", SW_HIDE), 77u);
    EXPECT_EQ(ReadBytes(report), folder + "\\child.exe\n" + folder + "\n");
    EXPECT_EQ(window.processMessagesCalls, 2);
    EXPECT_EQ(xqv::RunAndWait(folder + "\\child.exe", " report \"" + report + "\" 0", 1), 0u);
}

TEST_F(Routines, RunAndWaitStartsTheNamedProgramWhenItsPathHasBlanks) {
    // Unquoted, "...\run dir\child.exe" would start "...\run.exe" with "dir\child.exe ..." as
    // its arguments.
    const std::string folder = testfiles::FreshFolder(testFolder + "\\run dir");
    PlaceChild(folder + "\\child.exe");
    PlaceChild(testFolder + "\\run.exe");
    const std::string report = testFolder + "\\report.txt";
    EXPECT_EQ(xqv::RunAndWait(folder + "\\child.exe", " report \"" + report + "\" 5", SW_HIDE), 5u);
    EXPECT_EQ(ReadBytes(report), folder + "\\child.exe\n" + folder + "\n");
}

TEST_F(Routines, RunAndWaitFailsForAMissingProgram) {
    EXPECT_EQ(ErrorOf([&] { xqv::RunAndWait(testFolder + "\\missing.exe", "", 1); }),
              "Невозможно запустить внешнюю программу!");
}

TEST_F(Routines, FileSizeIsScaledDownAndMinusOneWhenTheFileDoesNotOpen) {
    const std::string almost = testFolder + "\\almost.bin", exact = testFolder + "\\exact.bin";
    ASSERT_TRUE(WriteBytes(almost, std::string(1048575, 'x')));
    ASSERT_TRUE(WriteBytes(exact, std::string(1048576, 'x')));
    EXPECT_EQ(xqv::GetFileSizeScaled(almost, 20), 0);
    EXPECT_EQ(xqv::GetFileSizeScaled(exact, 20), 1);
    EXPECT_EQ(xqv::GetFileSizeScaled(almost, 0), 1048575);
    EXPECT_EQ(xqv::GetFileSizeScaled(testFolder + "\\missing.bin", 20), -1);
    testfiles::FileHolder holder(exact);
    ASSERT_TRUE(holder.held());
    EXPECT_EQ(xqv::GetFileSizeScaled(exact, 20), -1);
}

// A sparse file of the given size: huge on paper, nothing on the disk.
bool MakeSparseFile(const std::string& path, long long size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

TEST_F(Routines, CheckFreeSizeComparesWholeMegabytesTimesTheFactor) {
    const std::string small = testFolder + "\\small.fdb", huge = testFolder + "\\huge.fdb";
    ASSERT_TRUE(WriteBytes(small, std::string(2 * 1048576 + 5, 'x')));
    ASSERT_TRUE(MakeSparseFile(huge, 1LL << 40)); // 1 TiB: more than this disk has free
    EXPECT_NO_THROW(xqv::CheckFreeSize(small, "C:\\", 2));
    EXPECT_NO_THROW(xqv::CheckFreeSize(huge, "C:\\", 0));
    EXPECT_EQ(ErrorOf([&] { xqv::CheckFreeSize(testFolder + "\\huge.fdb", "C:\\", 1); }),
              "Для записи файла на диск \"C:\\\"требуется не менее 1048576 МБ свободного места!");
    EXPECT_EQ(window.processMessagesCalls, 3);
}

TEST(FreeSpace, ExactlyTheRequirementSufficesAndOneMegabyteLessDoesNot) {
    EXPECT_TRUE(xqv::FreeSpaceSuffices(200, 200));
    EXPECT_FALSE(xqv::FreeSpaceSuffices(199, 200));
    EXPECT_TRUE(xqv::FreeSpaceSuffices(201, 200));
    EXPECT_TRUE(xqv::FreeSpaceSuffices(0, 0));
    // A requirement beyond 32 bits is compared whole.
    EXPECT_FALSE(xqv::FreeSpaceSuffices(4095, (int64_t(1) << 32) + 4095));
}

TEST_F(Routines, CheckFreeSizeFailsWithAnEmptyTextWhenTheFileDoesNotOpen) {
    const std::string file = testFolder + "\\held.fdb";
    ASSERT_TRUE(WriteBytes(file, "data"));
    EXPECT_EQ(ErrorOf([&] { xqv::CheckFreeSize(testFolder + "\\missing.fdb", "C:\\", 2); }), "");
    // Held open without sharing, as a running server holds its database.
    HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf([&] { xqv::CheckFreeSize(testFolder + "\\held.fdb", "C:\\", 0); }), "");
    CloseHandle(held);
}

TEST_F(Routines, CheckFreeSizeFailsWhenTheDiskCannotBeAsked) {
    ASSERT_TRUE(WriteBytes(testFolder + "\\db.fdb", "data"));
    EXPECT_EQ(ErrorOf([&] { xqv::CheckFreeSize(testFolder + "\\db.fdb", "Q:\\", 2); }),
              "Невозможно определить размер свободного места на диске \"Q:\\\"!");
}

TEST_F(Routines, CopyFileOverwriteReplacesAProtectedTargetAndReportsFailures) {
    const std::string source = testFolder + "\\new.exe", target = testFolder + "\\old.exe";
    ASSERT_TRUE(WriteBytes(source, "new content"));
    ASSERT_TRUE(
        WriteBytes(target, "old, longer content", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(xqv::CopyFileOverwrite(source, target));
    EXPECT_EQ(ReadBytes(target), "new content");
    EXPECT_FALSE(xqv::CopyFileOverwrite(testFolder + "\\missing.exe", target));
    testfiles::FileHolder holder(target);
    ASSERT_TRUE(holder.held());
    EXPECT_FALSE(xqv::CopyFileOverwrite(source, target));
}

TEST(WindowsFolder, EndsInABackslashAndExists) {
    const std::string folder = xqv::GetWindowsFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(testfiles::Exists(folder + "notepad.exe"));
}

} // namespace
