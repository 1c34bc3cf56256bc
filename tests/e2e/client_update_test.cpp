// A person at the real updater: types a location, presses Start, answers the question by its
// buttons or keys, and reads what the window shows. Client-only installations are updated,
// refused, or rolled back, byte for byte, under Wine.
#include <windows.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "control_ids.h"
#include "gui_driver.h"
#include "screenshot.h"
#include "test_env.h"
#include "test_files.h"

namespace {

namespace ids = xqv::ids;
const std::string kRoot = "C:\\xqvtest\\e2e";
const char* const kTitle = "Updater_OrveLin";

std::string ExeFolder() {
    return testfiles::ProgramFolder();
}
std::string FromUnix(const std::string& unixPath) {
    return testfiles::FromUnixPath(unixPath);
}

void Screenshot(const std::string& name) {
    const std::string folder = testenv::Value("XQV_BUILD_DIR");
    if (folder.empty()) return;
    testfiles::MakeFolders(FromUnix(folder + "/screenshots"));
    SaveScreenshot(FromUnix(folder + "/screenshots/" + name));
}

// Each piece must appear in text after the one before it.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& pieces) {
    size_t at = 0;
    for (const std::string& piece : pieces) {
        const size_t found = text.find(piece, at);
        ASSERT_NE(found, std::string::npos) << "missing, or out of order: " << piece;
        at = found + piece.size();
    }
}

HWND FindButton(HWND dialog, const std::string& text) {
    for (HWND b = FindWindowExA(dialog, nullptr, "Button", nullptr); b;
         b = FindWindowExA(dialog, b, "Button", nullptr))
        if (gui::Text(b) == text) return b;
    return nullptr;
}

class ClientUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        testfiles::RemoveTree(kRoot);
        location = kRoot + "\\OrveLin";
        testfiles::WriteTree(location + "\\Program\\OrveLin.exe", "старый клиент 6.0");
        testfiles::WriteTree(location + "\\Program\\OrveLin.chm", "старая справка 6.0");
        testfiles::WriteTree(location + "\\Program\\Отчеты\\шаблон.frx", "шаблон отчета");
        testfiles::MakeFolders(location + "\\Program\\Пустая");
        before = testfiles::Snapshot(location + "\\Program");
        logsBefore = LogNames();
    }
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) PostMessageA(hwnd, WM_CLOSE, 0, 0);
        if (program) program->WaitExit(10);
        testfiles::RemoveTree(kRoot);
        testfiles::RemoveTree(kRoot + "\\OrveLin_");
    }

    static std::vector<std::string> LogNames() {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((ExeFolder() + "\\Logs\\*_Updater.log").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return names;
        do
            names.push_back(found.cFileName);
        while (FindNextFileA(h, &found));
        FindClose(h);
        return names;
    }

    // The newest log file of this start.
    std::string LogBytes() const {
        std::string newest;
        for (const std::string& name : LogNames())
            newest = std::max(newest, name);
        return testfiles::ReadBytes(ExeFolder() + "\\Logs\\" + newest);
    }

    void StartUpdater(const std::string& typedLocation) {
        program = std::make_unique<gui::Program>(ExeFolder() + "\\Updater_OrveLin.exe");
        ASSERT_TRUE(program->Started());
        hwnd = gui::WaitWindow(kTitle, 30);
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(gui::WaitVisible(hwnd, 10));
        SendMessageA(gui::FindControl(hwnd, ids::eProgramLocation), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(typedLocation.c_str()));
        PostMessageA(gui::FindControl(hwnd, ids::OKBtn), BM_CLICK, 0, 0);
    }

    // Start, then Yes at the question.
    void StartAndConfirm() {
        StartUpdater(location);
        HWND question = WaitQuestion();
        ASSERT_NE(question, nullptr);
        PostMessageA(FindButton(question, "&Yes"), BM_CLICK, 0, 0);
    }

    HWND WaitQuestion() { return gui::WaitWindow("Information", 30, "XqvMessageDialog"); }

    // Waits until the run has ended (the status text no longer says it is in progress).
    std::string WaitOutcome() {
        HWND captions = gui::FindControl(hwnd, ids::mCaptions);
        for (int i = 0; i < 600; ++i) {
            const std::string text = gui::Text(captions);
            if (!text.empty() && text != "Идет обновление..." &&
                text.find("Выполняется откат") == std::string::npos &&
                IsWindowEnabled(gui::FindControl(hwnd, ids::OKBtn)))
                return text;
            Sleep(100);
        }
        return "(no outcome)";
    }

    // The installation as it was set up: "Program" and what it held.
    std::map<std::string, std::string> WholeInstallation() const {
        std::map<std::string, std::string> whole;
        for (const auto& [name, bytes] : before)
            whole["Program\\" + name] = bytes;
        whole["Program\\"] = "";
        return whole;
    }

    std::string ViewText() { return gui::Text(gui::FindControl(hwnd, ids::mLog)); }

    // The error box of the updater, its text, and OK pressed.
    std::string TakeErrorBox() {
        HWND box = gui::WaitWindow(kTitle, 30, "#32770");
        if (!box) return "(no error box) " + ViewText();
        const std::string text = gui::Text(GetDlgItem(box, 0xFFFF));
        Screenshot(std::string("e2e-error-") +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bmp");
        PostMessageA(FindWindowExA(box, nullptr, "Button", nullptr), BM_CLICK, 0, 0);
        gui::WaitGone(box, 10);
        return text;
    }

    std::string location;
    std::map<std::string, std::string> before;
    std::vector<std::string> logsBefore;
    std::unique_ptr<gui::Program> program;
    HWND hwnd = nullptr;
};

TEST_F(ClientUpdate, UpdatesClientEndToEnd) {
    StartUpdater(location);
    HWND question = WaitQuestion();
    ASSERT_NE(question, nullptr);
    ASSERT_NE(FindButton(question, "&No"), nullptr);
    PostMessageA(FindButton(question, "&Yes"), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitOutcome(), "Обновление прошло успешно.\r\nЗавершите работу с программой.");

    // The new client files are the release's, byte for byte; everything else stays.
    const std::string release = FromUnix(XQV_RELEASE_CLIENT_DIR);
    const auto after = testfiles::Snapshot(location + "\\Program");
    EXPECT_EQ(after.at("OrveLin.exe"), testfiles::ReadBytes(release + "\\OrveLin.exe"));
    EXPECT_EQ(after.at("OrveLin.chm"), testfiles::ReadBytes(release + "\\OrveLin.chm"));
    EXPECT_EQ(after.at("Отчеты\\шаблон.frx"), "шаблон отчета");
    EXPECT_EQ(after.size(), before.size());

    // The backup holds the old files; "New" is gone; nothing of the server part was made.
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((location + "\\Tmp$*").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    const std::string temp = location + "\\" + found.cFileName;
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
        if (way == 0) PostMessageA(FindButton(question, "&No"), BM_CLICK, 0, 0);
        if (way == 1) PostMessageA(FindButton(question, "&No"), WM_KEYDOWN, VK_RETURN, 0);
        if (way == 2) PostMessageA(question, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(WaitOutcome(), "Обновление прервано!") << way;
        EXPECT_EQ(FindWindowA("#32770", kTitle), nullptr) << "no error box";
        const std::string view = ViewText();
        EXPECT_EQ(
            view.substr(view.size() - std::string("Завершена инициализация переменных").size()),
            "Завершена инициализация переменных");
        EXPECT_EQ(testfiles::Snapshot(location), WholeInstallation());
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        ASSERT_TRUE(program->WaitExit(10));
    }
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
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm());
    const std::string message = TakeErrorBox();
    EXPECT_NE(message.find("Невозможно получить полный доступ к папке "), std::string::npos)
        << message;
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    WIN32_FIND_DATAA found;
    EXPECT_EQ(FindFirstFileA((location + "\\Tmp$*").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), before);
}

TEST_F(ClientUpdate, LockedClientFileRollsBackToTheOldProgram) {
    // Another process (this test) keeps the client exe open for reading: the backup can read
    // it, but it cannot be replaced or deleted.
    HANDLE held = CreateFileA((location + "\\Program\\OrveLin.exe").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm());
    const std::string message = TakeErrorBox();
    const std::string first = "Невозможно скопировать файл ";
    EXPECT_EQ(message.rfind(first, 0), 0u) << message;
    EXPECT_NE(message.find("\r\rException!\rMessage: Невозможно удалить файл "), std::string::npos)
        << message;
    EXPECT_EQ(WaitOutcome(), "Обновление прошло с ошибками!\r\nОткат изменений завершен.");
    CloseHandle(held);
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), before);
    ExpectInOrder(ViewText(), {"Обновление завершено с ошибками. Выполняется откат изменений!",
                               "Восстановление каталогов программы из резервной копии.",
                               "Exception - " + first});
}

TEST_F(ClientUpdate, FileThatCannotBeBackedUpStopsTheRun) {
    // Held without any sharing: not even the backup can read it.
    HANDLE held = CreateFileA((location + "\\Program\\Отчеты\\шаблон.frx").c_str(), GENERIC_READ, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_NO_FATAL_FAILURE(StartAndConfirm());
    const std::string message = TakeErrorBox();
    const std::string copyError =
        "Невозможно скопировать файл " + location + "\\Program\\Отчеты\\шаблон.frx!";
    EXPECT_EQ(message, copyError + "\r\rException!\rMessage: " + copyError);
    EXPECT_EQ(WaitOutcome(), "Обновление прервано!");
    CloseHandle(held);
    WIN32_FIND_DATAA found;
    EXPECT_EQ(FindFirstFileA((location + "\\Tmp$*").c_str(), &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(testfiles::Snapshot(location + "\\Program"), before);
}

} // namespace
