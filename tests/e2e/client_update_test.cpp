// A person at the real updater: types a location, presses Start, answers the question by its
// buttons or keys, and reads what the window shows. Client-only installations are updated,
// refused, or rolled back, byte for byte, under Wine.
#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>
#include "updater_window.h"

namespace {

using namespace e2e;
const std::string kRoot = "C:\\xqvtest\\e2e";

class ClientUpdate : public UpdaterWindow {
protected:
    void SetUp() override {
        testfiles::RemoveTree(kRoot);
        location = kRoot + "\\OrveLin";
        testfiles::WriteTree(location + "\\Program\\OrveLin.exe", "старый клиент 6.0");
        testfiles::WriteTree(location + "\\Program\\OrveLin.chm", "старая справка 6.0");
        testfiles::WriteTree(location + "\\Program\\Отчеты\\шаблон.frx", "шаблон отчета");
        testfiles::MakeFolders(location + "\\Program\\Пустая");
        before = testfiles::Snapshot(location + "\\Program");
    }
    void TearDown() override {
        UpdaterWindow::TearDown();
        testfiles::RemoveTree(kRoot);
        testfiles::RemoveTree(kRoot + "\\OrveLin_");
    }

    // The installation as it was set up: "Program" and what it held.
    std::map<std::string, std::string> WholeInstallation() const {
        std::map<std::string, std::string> whole;
        for (const auto& [name, bytes] : before)
            whole["Program\\" + name] = bytes;
        whole["Program\\"] = "";
        return whole;
    }

    // Starts a run of the test build that stops just before the backup, opens path for reading
    // with the given sharing there and lets the run go on. The lock check before it would refuse
    // a tree with an open file, and holding the file at a fixed point (not on seeing a log line)
    // leaves no race with the backup.
    HANDLE StartHolding(const std::string& path, DWORD sharing) {
        const std::string reached = kRoot + "_reached.txt";
        DeleteFileA(reached.c_str());
        SetEnvironmentVariableA("XQV_FAULT_REACHED", reached.c_str());
        SetEnvironmentVariableA("XQV_FAULT_POINTS", "before-8:stop");
        StartAndConfirm(location, "Updater_Faults.exe");
        SetEnvironmentVariableA("XQV_FAULT_POINTS", nullptr);
        SetEnvironmentVariableA("XQV_FAULT_REACHED", nullptr);
        if (HasFatalFailure()) return INVALID_HANDLE_VALUE;
        bool stopped = false;
        for (int wait = 0; wait < 1200 && !stopped; ++wait, Sleep(100))
            stopped = testfiles::ReadBytes(reached) == "before-8";
        if (!stopped) return INVALID_HANDLE_VALUE;
        HANDLE held =
            CreateFileA(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        DeleteFileA(reached.c_str());
        return held;
    }

    std::string location;
    std::map<std::string, std::string> before;
};

TEST_F(ClientUpdate, UpdatesClientEndToEnd) {
    StartUpdater(location);
    HWND question = WaitQuestion();
    ASSERT_NE(question, nullptr);
    ASSERT_NE(FindButton(question, "&No"), nullptr);
    gui::Press(question, FindButton(question, "&Yes"));
    EXPECT_EQ(WaitOutcome(), "Обновление прошло успешно.\r\nЗавершите работу с программой.");

    // The new client files are the release's, byte for byte; everything else stays.
    const std::string release = testfiles::FromUnixPath(XQV_RELEASE_CLIENT_DIR);
    const auto after = testfiles::Snapshot(location + "\\Program");
    EXPECT_EQ(after.at("OrveLin.exe"), testfiles::ReadBytes(release + "\\OrveLin.exe"));
    EXPECT_EQ(after.at("OrveLin.chm"), testfiles::ReadBytes(release + "\\OrveLin.chm"));
    EXPECT_EQ(after.at("Отчеты\\шаблон.frx"), "шаблон отчета");
    EXPECT_EQ(after.size(), before.size());

    // The backup holds the old files; "New" is gone; nothing of the server part was made.
    const std::string temp = TempDirIn(location);
    ASSERT_NE(temp, "");
    EXPECT_EQ(testfiles::Snapshot(temp + "\\Old\\Program"), before);
    EXPECT_FALSE(testfiles::Exists(temp + "\\New"));
    EXPECT_FALSE(testfiles::Exists(temp + "\\Old\\DB_Data"));

    const std::vector<std::string> lines = {
        "Инициализация переменных...",
        "Завершена инициализация переменных",
        "Создание временной структуры каталогов.",
        "Завершено создание временной структуры каталогов.",
        "Создание резервной копии программы",
        "Завершено создание резервной копии программы",
        "Обновление клиентской части",
        "Выполняется копирование и замена файлов и каталогов клиентского приложения",
        "Временная папка \"" + temp + "\\New\\\" удалена",
        "Обновление прошло успешно. Завершите работу с программой."};
    ExpectInOrder(ViewText(), lines);
    ExpectInOrder(LogBytes(), lines);
    // The green text and the success picture.
    EXPECT_TRUE(IsWindowVisible(gui::FindControl(hwnd, ids::Image1)));
    gui::Pixels pixels = gui::CaptureClient(hwnd);
    EXPECT_GT(pixels.Count(RGB(0, 128, 0), 49, 431 + 5, 280, 32), 20);
    Screenshot("e2e-success.bmp");
}

// No, Enter (No holds the focus) and Esc: nothing changes, nothing logged after the context.
TEST_F(ClientUpdate, DecliningTheQuestionChangesNothing) {
    for (int way = 0; way < 3; ++way) {
        StartUpdater(location);
        HWND question = WaitQuestion();
        ASSERT_NE(question, nullptr);
        if (way == 0) gui::Press(question, FindButton(question, "&No"));
        if (way == 1) PostMessageA(FindButton(question, "&No"), WM_KEYDOWN, VK_RETURN, 0);
        if (way == 2) PostMessageA(question, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(WaitOutcome(), "Обновление прервано!") << way;
        EXPECT_EQ(FindWindowA("#32770", title.c_str()), nullptr) << "no error box";
        const std::string view = ViewText();
        EXPECT_EQ(
            view.substr(view.size() - std::string("Завершена инициализация переменных").size()),
            "Завершена инициализация переменных");
        EXPECT_EQ(testfiles::Snapshot(location), WholeInstallation());
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        ASSERT_TRUE(program->WaitExit(10));
    }
}

// The status text stays maroon while the run is in progress (the controls around it are disabled
// meanwhile, and a disabled text would be drawn grey).
TEST_F(ClientUpdate, StatusTextKeepsItsColourDuringTheRun) {
    StartUpdater(location);
    HWND question = WaitQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_FALSE(IsWindowEnabled(gui::FindControl(hwnd, ids::OKBtn)));
    EXPECT_EQ(gui::Text(gui::FindControl(hwnd, ids::mCaptions)), "Идет обновление...");
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(300);
    gui::Pixels pixels = gui::CaptureClient(hwnd);
    EXPECT_GT(pixels.Count(RGB(128, 0, 0), 49, 431 + 5, 280, 32), 20);
    gui::Press(question, FindButton(question, "&No"));
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
}

TEST_F(ClientUpdate, LocationWithNeitherPartIsRefusedAsTyped) {
    testfiles::MakeFolders(kRoot + "\\Пусто\\Program");
    const std::string typed = kRoot + "\\Пусто\\";
    StartUpdater(typed);
    EXPECT_EQ(TakeErrorBox(), "В каталоге \"" + typed +
                                  "\" не обнаружено ни КЛИЕНТСКОЙ, ни СЕРВЕРНОЙ частей "
                                  "программы \"Orvelin\"");
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    ExpectInOrder(LogBytes(), {"Exception - В каталоге \"" + typed + "\""});
}

TEST_F(ClientUpdate, SiblingNameClashStopsBeforeAnythingIsCreated) {
    testfiles::MakeFolders(location + "_");
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location));
    const std::string message = TakeErrorBox();
    EXPECT_NE(message.find("Невозможно получить полный доступ к папке "), std::string::npos)
        << message;
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    EXPECT_EQ(TempDirIn(location), "");
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), before);
}

// A rename the system refuses (the location's parent made immutable on the Unix side; processes
// under Wine run as root, so permissions would not stop them): nothing is created or changed.
TEST_F(ClientUpdate, LocationThatCannotBeRenamedStopsBeforeAnythingIsCreated) {
    const std::string unixRoot = testfiles::UnixPath(kRoot);
    if (testfiles::RunUnix("chattr +i '" + unixRoot + "'") != 0)
        GTEST_SKIP() << "the file system cannot make a folder immutable";
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm(location));
    const std::string message = TakeErrorBox();
    testfiles::RunUnix("chattr -i '" + unixRoot + "'");
    EXPECT_EQ(message.rfind("Невозможно получить полный доступ к папке " + location + ".\r", 0), 0u)
        << message;
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    EXPECT_EQ(testfiles::Snapshot(location), WholeInstallation());
    EXPECT_FALSE(testfiles::Exists(location + "_"));
}

// The restore cannot put a file back that another program holds open: the outcome says that the
// program may be half-updated and where the backup is, in the failure colour.
TEST_F(ClientUpdate, RollbackThatCannotFinishIsNotCalledComplete) {
    testfiles::RemoveTree(location + "\\Program\\OrveLin.chm");
    testfiles::WriteTree(location + "\\Program\\OrveLin.chm\\index.htm", "не файл справки");
    HANDLE held = StartHolding(location + "\\Program\\Отчеты\\шаблон.frx", FILE_SHARE_READ);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string message = TakeErrorBox();
    CloseHandle(held);
    EXPECT_EQ(
        message.rfind("Невозможно скопировать файл " + location + "\\Program\\OrveLin.chm!", 0), 0u)
        << message;
    const std::string outcome = WaitOutcome();
    EXPECT_EQ(outcome.rfind("Программа обновлена частично!\r\nКопия: Tmp$", 0), 0u) << outcome;
    EXPECT_EQ(outcome.substr(outcome.size() - 4), "\\Old");
    gui::Pixels pixels = gui::CaptureClient(hwnd);
    EXPECT_GT(pixels.Count(RGB(128, 0, 0), 49, 431 + 5, 280, 32), 20);
    ExpectInOrder(ViewText(), {"Откат изменений не завершен: программа может быть обновлена "
                               "частично. Резервная копия находится в папке " +
                               location + "\\Tmp$"});
    Screenshot("e2e-rollback-incomplete.bmp");
}

TEST_F(ClientUpdate, LockedClientFileRollsBackToTheOldProgram) {
    // Another process (this test) keeps the client exe open for reading: the backup can read
    // it, but it cannot be replaced or deleted.
    HANDLE held = StartHolding(location + "\\Program\\OrveLin.exe", FILE_SHARE_READ);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string message = TakeErrorBox();
    const std::string first = "Невозможно скопировать файл " + location + "\\Program\\OrveLin.exe!";
    EXPECT_EQ(message.rfind(first, 0), 0u) << message;
    EXPECT_NE(message.find("\r\rException!\rMessage: Невозможно удалить файл "), std::string::npos)
        << message;
    // The held file could be neither deleted nor copied over by the restore (it still holds the
    // old bytes): the rollback is not claimed complete.
    EXPECT_EQ(WaitOutcome().rfind("Программа обновлена частично!\r\nКопия: Tmp$", 0), 0u);
    CloseHandle(held);
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), before);
    ExpectInOrder(ViewText(), {"Обновление завершено с ошибками. Выполняется откат изменений!",
                               "Восстановление каталогов программы из резервной копии.",
                               "Exception - " + first});
}

TEST_F(ClientUpdate, FileThatCannotBeBackedUpStopsTheRun) {
    // Held without any sharing: not even the backup can read it.
    HANDLE held = StartHolding(location + "\\Program\\Отчеты\\шаблон.frx", 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string message = TakeErrorBox();
    const std::string copyError =
        "Невозможно скопировать файл " + location + "\\Program\\Отчеты\\шаблон.frx!";
    EXPECT_EQ(message, copyError + "\r\rException!\rMessage: " + copyError);
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    CloseHandle(held);
    EXPECT_EQ(TempDirIn(location), "");
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), before);
}

} // namespace
