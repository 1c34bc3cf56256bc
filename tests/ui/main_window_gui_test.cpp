// The real updater exe on the test display: its two looks, the preset and menu profiles, the
// run log file, the application-wide error handler and Exit. Screenshots of both looks go to
// the build folder.
#include <windows.h>
#include <tlhelp32.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include "control_ids.h"
#include "gui_driver.h"
#include "screenshot.h"
#include "test_env.h"
#include "test_files.h"

namespace {

namespace ids = xqv::ids;

const char* const kLogoCaption = "Updater ПО ЛЕМВ ГК \"Вельмора\": обновление проекта Vizevudav";
// The band of the first label of the connection group, in the window's client coordinates.
const RECT kLabel = {8, 17, 300, 17 + 13};

std::string ExeFolder() {
    return testfiles::ProgramFolder();
}

std::set<std::string> LogFiles() {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((ExeFolder() + "\\Logs\\*_Updater.log").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do
        names.insert(found.cFileName);
    while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

void Screenshot(const char* name) {
    const std::string folder = testenv::Value("XQV_BUILD_DIR");
    if (folder.empty()) return;
    // The build folder is a Unix path; Wine maps it through drive Z:.
    const std::string windows = testfiles::FromUnixPath(folder + "/screenshots");
    CreateDirectoryA(windows.c_str(), nullptr);
    EXPECT_TRUE(SaveScreenshot(windows + "\\" + name));
}

int LabelInk(HWND hwnd, COLORREF colour) {
    gui::Pixels pixels = gui::CaptureClient(hwnd);
    return pixels.Count(colour, kLabel.left, kLabel.top, kLabel.right - kLabel.left,
                        kLabel.bottom - kLabel.top);
}

// How far right the label's text reaches: bold text of the same font runs wider.
int LabelRight(HWND hwnd, COLORREF colour) {
    gui::Pixels pixels = gui::CaptureClient(hwnd);
    int right = 0;
    for (int y = kLabel.top; y < kLabel.bottom; ++y)
        for (int x = kLabel.left; x < kLabel.right; ++x)
            if (pixels.At(x, y) == colour && x > right) right = x;
    return right;
}

std::string ControlText(HWND top, int id) {
    return gui::Text(gui::FindControl(top, id));
}

TEST(MainWindow, StandardLookWithPresetProfileThenExit) {
    const std::set<std::string> before = LogFiles();
    gui::Program program(ExeFolder() + "\\Updater_OrveLin.exe");
    ASSERT_TRUE(program.Started());
    HWND hwnd = gui::WaitWindow("Updater_OrveLin", 30);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(gui::WaitVisible(hwnd, 10));

    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 476);
    EXPECT_EQ(client.bottom, 473);
    EXPECT_EQ(ControlText(hwnd, ids::eProgramLocation), "C:\\XQV\\OrveLin");
    HWND password = gui::FindControl(hwnd, ids::ePassword);
    EXPECT_EQ(SendMessageA(password, EM_GETPASSWORDCHAR, 0, 0), '*');
    EXPECT_EQ(gui::Text(password), "qtrvbnzlka");
    EXPECT_EQ(ControlText(hwnd, ids::OKBtn), "&Старт");
    EXPECT_EQ(ControlText(hwnd, ids::CancelBtn), "Выход");

    // Labels in the window-text colour on button face; no logo.
    gui::Pixels pixels = gui::CaptureClient(hwnd);
    EXPECT_GT(LabelInk(hwnd, GetSysColor(COLOR_WINDOWTEXT)), 20);
    EXPECT_EQ(pixels.At(400, 60), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(pixels.At(400, 440), GetSysColor(COLOR_BTNFACE));

    // One new, empty log file beside the exe.
    std::set<std::string> after = LogFiles();
    std::set<std::string> added;
    for (const std::string& name : after)
        if (!before.count(name)) added.insert(name);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(testfiles::ReadBytes(ExeFolder() + "\\Logs\\" + *added.begin()), "");
    Screenshot("standard-look.bmp");

    PostMessageA(gui::FindControl(hwnd, ids::CancelBtn), BM_CLICK, 0, 0);
    EXPECT_TRUE(gui::WaitGone(hwnd, 10));
    EXPECT_TRUE(program.WaitExit(10));
}

class LogoLook : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = std::make_unique<gui::Program>(ExeFolder() + "\\Updater_LogoLook.exe");
        ASSERT_TRUE(program_->Started());
        hwnd_ = gui::WaitWindow(kLogoCaption, 30);
        ASSERT_NE(hwnd_, nullptr);
        ASSERT_TRUE(gui::WaitVisible(hwnd_, 10));
    }
    void TearDown() override {
        if (hwnd_ && IsWindow(hwnd_)) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
        if (program_) program_->WaitExit(10);
    }
    std::unique_ptr<gui::Program> program_;
    HWND hwnd_ = nullptr;
};

TEST_F(LogoLook, KeepsLogoAllMenusAndProfileCaption) {
    EXPECT_EQ(ControlText(hwnd_, ids::eProgramLocation), "C:\\XQV\\Vizevudav");
    gui::Pixels pixels = gui::CaptureClient(hwnd_);
    // The logo lies beneath the labels; the labels are drawn in the window colour, bold.
    const COLORREF logo = pixels.At(300, 20);
    EXPECT_NE(logo, GetSysColor(COLOR_BTNFACE));
    EXPECT_NE(logo, GetSysColor(COLOR_WINDOW));
    EXPECT_GT(LabelInk(hwnd_, GetSysColor(COLOR_WINDOW)), 20);
    const int boldRight = LabelRight(hwnd_, GetSysColor(COLOR_WINDOW));
    Screenshot("logo-look.bmp");

    // The same label in the regular weight of the standard look is narrower.
    gui::Program standard(ExeFolder() + "\\Updater_OrveLin.exe");
    HWND other = gui::WaitWindow("Updater_OrveLin", 30);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(gui::WaitVisible(other, 10));
    const int regularRight = LabelRight(other, GetSysColor(COLOR_WINDOWTEXT));
    PostMessageA(other, WM_CLOSE, 0, 0);
    EXPECT_TRUE(standard.WaitExit(10));
    EXPECT_GT(regularRight, 100);
    EXPECT_GT(boldRight, regularRight + 5);
}

TEST_F(LogoLook, ProjectCommandOverwritesBothBoxesAndCaption) {
    SendMessageA(gui::FindControl(hwnd_, ids::eProgramLocation), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>("D:\\Набрано вручную"));
    SendMessageA(gui::FindControl(hwnd_, ids::ePassword), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>("typed"));
    SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(ids::mmProject_Vorna, 0), 0);
    EXPECT_EQ(ControlText(hwnd_, ids::eProgramLocation), "C:\\XQV\\Vorna");
    EXPECT_EQ(ControlText(hwnd_, ids::ePassword), "qtrvbnzlka");
    EXPECT_EQ(gui::Text(hwnd_), "Updater ПО ЛЕМВ ГК \"Вельмора\": обновление проекта Vorna");
}

TEST_F(LogoLook, EscapingErrorIsLoggedBeforeItsBoxOpens) {
    // The test build's failing command raises an error out of the window's dispatch.
    PostMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(990, 0), 0);
    HWND box = gui::WaitWindow("Updater_LogoLook", 10, "#32770");
    ASSERT_NE(box, nullptr);
    // While the box is open the entry is already in the view and in the file.
    EXPECT_NE(ControlText(hwnd_, ids::mLog).find(": Exception - Проверка обработчика ошибок"),
              std::string::npos);
    const std::string bytes =
        testfiles::ReadBytes(testfiles::NewestFile(ExeFolder() + "\\Logs\\*_Updater.log"));
    EXPECT_NE(bytes.find(": Exception - Проверка обработчика ошибок\r\n"), std::string::npos);
    EXPECT_EQ(bytes[0], '\r');
    EXPECT_EQ(gui::Text(GetDlgItem(box, 0xFFFF)), "Проверка обработчика ошибок.");
    HWND ok = FindWindowExA(box, nullptr, "Button", nullptr);
    ASSERT_NE(ok, nullptr);
    gui::Press(box, ok);
    EXPECT_TRUE(gui::WaitGone(box, 10));
    EXPECT_TRUE(IsWindow(hwnd_)) << "the program keeps running";
}

// The "..." button: the chooser opens on the folder in the location box; OK writes the chosen
// folder back, Cancel leaves the box as it was.
TEST_F(LogoLook, FolderChooserWritesBackOnOkOnly) {
    const std::string folder = "C:\\xqvtest\\ui\\chooser\\Выбор";
    testfiles::MakeFolders(folder);
    HWND box = gui::FindControl(hwnd_, ids::eProgramLocation);
    for (bool ok : {true, false}) {
        SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
        PostMessageA(gui::FindControl(hwnd_, ids::bbProgramLocation), BM_CLICK, 0, 0);
        HWND chooser = gui::WaitWindow("Выбор папки", 20);
        ASSERT_NE(chooser, nullptr);
        ASSERT_TRUE(gui::WaitVisible(chooser, 10));
        if (ok) Screenshot("folder-chooser-from-main-window.bmp");
        // Whatever the user did in the box meanwhile, Cancel must not touch it.
        if (!ok) SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("D:\\другое"));
        PostMessageA(gui::FindControl(chooser, ok ? 502 : 503), BM_CLICK, 0, 0);
        ASSERT_TRUE(gui::WaitGone(chooser, 10));
        EXPECT_EQ(gui::Text(box), ok ? folder : "D:\\другое");
    }
    testfiles::RemoveTree("C:\\xqvtest\\ui\\chooser");
}

// A running process of that file name, or 0.
DWORD ProcessNamed(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !found;
         more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, name) == 0) found = entry.th32ProcessID;
    CloseHandle(snapshot);
    return found;
}

// The help command starts the help viewer of the Windows folder on help.chm beside the exe.
TEST_F(LogoLook, HelpCommandStartsTheViewer) {
    ASSERT_EQ(ProcessNamed("hh.exe"), 0u);
    PostMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(ids::mmHelp, 0), 0);
    DWORD viewer = 0;
    for (int i = 0; i < 200 && !viewer; ++i, Sleep(50))
        viewer = ProcessNamed("hh.exe");
    ASSERT_NE(viewer, 0u);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, viewer);
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

} // namespace
