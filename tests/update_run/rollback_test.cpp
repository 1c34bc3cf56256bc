// The update stage failing after a complete backup, with the release this build carries: the
// rollback restores the installation whatever happens to the log, names the file that stood in
// the way, and tells when it could not put everything back.
#include <windows.h>
#include <gtest/gtest.h>
#include "errors.h"
#include "scripted_window.h"
#include "test_files.h"
#include "update.h"
#include "update_run.h"

namespace {

using testenv::ScriptedWindow;
const std::string kRoot = "C:\\xqvtest\\rollback";
const char* const kRollbackStarted =
    "Обновление завершено с ошибками. Выполняется откат изменений!";
const char* const kRestoring = "Восстановление каталогов программы из резервной копии.";
const char* const kRestored = "Завершено восстановление каталогов программы из резервной копии.";
const char* const kMarker = "Обновление не завершено.txt";

class Rollback : public ::testing::Test {
protected:
    void SetUp() override {
        testfiles::FreshFolder(kRoot);
        window.profile = ScriptedWindow::SampleProfile();
        window.answers = {xqv::DialogAnswer::Yes};
        // A client installation whose help file cannot be replaced: a folder stands in its
        // place. The client exe is replaced first, so the rollback has something to undo.
        location = kRoot + "\\OrveLin";
        testfiles::WriteTree(location + "\\Program\\OrveLin.exe", "старый клиент");
        testfiles::WriteTree(location + "\\Program\\OrveLin.chm\\index.htm", "не файл справки");
        testfiles::WriteTree(location + "\\Program\\Отчеты\\шаблон.frx", "шаблон");
        before = testfiles::Snapshot(location + "\\Program");
    }
    void TearDown() override { testfiles::RemoveTree(kRoot); }

    std::string FailingRun() {
        try {
            xqv::UpdateProgram(location, "", "Orvelin");
        } catch (const xqv::Error& e) {
            return e.Message();
        }
        ADD_FAILURE() << "no error";
        return "";
    }

    std::string ReplaceFailure() const {
        return "Невозможно скопировать файл " + location + "\\Program\\OrveLin.chm!";
    }

    ScriptedWindow window;
    std::string location;
    std::map<std::string, std::string> before;
};

// The message names the file in "Program" that could not be replaced, not the new one.
TEST_F(Rollback, RestoresTheProgramAndNamesTheFileThatStoodInTheWay) {
    const std::string message = FailingRun();
    EXPECT_EQ(message, ReplaceFailure() + "\r\rException!\rMessage: " + ReplaceFailure());
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), before);
    EXPECT_TRUE(window.updateStageFailed);
    EXPECT_EQ(window.incompleteRollbackBackup, "");
    EXPECT_EQ(window.statusCaption,
              "Обновление завершено с ошибками.\rВыполняется откат изменений!");
    EXPECT_EQ(window.logLines.back(), kRestored);
    // The installation is whole again: nothing marks the backup as the only good copy.
    EXPECT_FALSE(testfiles::Exists(xqv::Context.TempDir + "\\" + kMarker));
}

// A log that cannot be written must not stop the rollback; its failures are recorded.
TEST_F(Rollback, RunsWhenTheLogCannotBeWritten) {
    window.failingLogLines = {kRollbackStarted, kRestoring, kRestored};
    const std::string message = FailingRun();
    const std::string full = "\r\rException!\rMessage: Disk full";
    EXPECT_EQ(message, ReplaceFailure() + full + full + full +
                           "\r\rException!\rMessage: " + ReplaceFailure());
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), before);
    EXPECT_EQ(window.incompleteRollbackBackup, "");
}

// A client file held open (readable, so the backup has it) cannot be deleted or overwritten by
// the restore: the outcome must not claim the rollback complete.
TEST_F(Rollback, ThatCannotFinishSaysWhereTheBackupIs) {
    const std::string held = location + "\\Program\\Отчеты\\шаблон.frx";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string message = FailingRun();
    CloseHandle(file);
    EXPECT_EQ(message.rfind(ReplaceFailure() + "\r\rException!\rMessage: Невозможно удалить файл " +
                                held + "!",
                            0),
              0u)
        << message;
    EXPECT_EQ(window.incompleteRollbackBackup, xqv::Context.BackupDir);
    EXPECT_EQ(window.logLines.back(),
              "Откат изменений не завершен: программа может быть обновлена частично. Резервная "
              "копия находится в папке " +
                  xqv::Context.BackupDir + ".");
    // Everything else is back, and the backup is whole.
    EXPECT_EQ(testfiles::ReadBytes(location + "\\Program\\OrveLin.exe"), "старый клиент");
    EXPECT_EQ(testfiles::Snapshot(xqv::Context.BackupProgramDir), before);
}

// A backup that fails, followed by a temporary folder that cannot be removed: the error text
// holds the first error, then the removal's, then the first again as the run's own.
TEST_F(Rollback, BackupFailureWhoseCleanupFailsReportsTheRemovalToo) {
    const std::string unreadable = location + "\\Program\\Отчеты\\шаблон.frx";
    HANDLE heldOld =
        CreateFileA(unreadable.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(heldOld, INVALID_HANDLE_VALUE);
    // Once the payload is unpacked, one of its files is held open so it cannot be deleted.
    HANDLE heldNew = INVALID_HANDLE_VALUE;
    std::string undeletable;
    window.onLog = [&](const std::string& text) {
        if (text != "Создание резервной копии программы") return;
        undeletable = xqv::Context.NewDir + "\\OrveLin.exe";
        heldNew =
            CreateFileA(undeletable.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    const std::string message = FailingRun();
    CloseHandle(heldOld);
    ASSERT_NE(heldNew, INVALID_HANDLE_VALUE);
    CloseHandle(heldNew);
    const std::string first = "Невозможно скопировать файл " + unreadable + "!";
    EXPECT_EQ(message, first + "\r\rException!\rMessage: Невозможно удалить файл " + undeletable +
                           "!" + "\r\rException!\rMessage: " + first);
    EXPECT_FALSE(window.updateStageFailed);
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), before);
}

// While an installation may be half-updated (a rollback that could not finish, or a run that was
// ended half-way and left its marker), a new run is refused before it asks anything: its backup
// would be of the half-updated installation, and its rollback would restore that.
TEST_F(Rollback, HalfUpdatedInstallationRefusesTheNextRunAndKeepsTheBackup) {
    const std::string held = location + "\\Program\\Отчеты\\шаблон.frx";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FailingRun();
    CloseHandle(file);
    const std::string tempDir = xqv::Context.TempDir;
    const std::string marker = tempDir + "\\" + kMarker;
    ASSERT_TRUE(testfiles::Exists(marker));
    const auto backup = testfiles::Snapshot(tempDir);
    const auto program = testfiles::Snapshot(location + "\\Program");

    window.dialogs.clear();
    window.answers = {xqv::DialogAnswer::Yes};
    Sleep(1100); // a new run in another second gets a temporary folder of its own
    EXPECT_EQ(FailingRun(),
              "Предыдущее обновление программы в каталоге \"" + location +
                  "\" не было завершено: программа может быть обновлена частично. Резервная "
                  "копия находится в папке " +
                  tempDir + "\\Old. Восстановите из нее папку \"Program\", удалите файл \"" +
                  marker + "\" и повторите обновление. Обновление не начато, ничего не изменено.");
    EXPECT_TRUE(window.dialogs.empty());
    EXPECT_EQ(testfiles::ListNames(kRoot + "\\OrveLin").size(), 2u) << "Program and one Tmp$";
    EXPECT_EQ(testfiles::Snapshot(tempDir), backup);
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), program);

    // Once the administrator has restored by hand and removed the marker, runs go on.
    ASSERT_TRUE(DeleteFileA(marker.c_str()));
    testfiles::RemoveTree(location + "\\Program\\OrveLin.chm");
    xqv::UpdateProgram(location, "", "Orvelin");
    EXPECT_FALSE(testfiles::Exists(xqv::Context.TempDir + "\\" + kMarker));
    EXPECT_TRUE(testfiles::Exists(tempDir + "\\Old\\Program\\OrveLin.exe"));
}

} // namespace
