// The main window created inside the test program: menus of both looks, the profile fields the
// engine reads, and the log entries of SaveExceptionToLog in the view and the file.
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include "control_ids.h"
#include "errors.h"
#include "gui_driver.h"
#include "main_window.h"
#include "test_files.h"

namespace {

namespace ids = xqv::ids;

struct Window {
    xqv::TfrmMain frm;
    explicit Window(xqv::Project preset) {
        // The window of an earlier test posted its quit message when it went.
        MSG quit;
        while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        frm.Create(GetModuleHandleA(nullptr));
        frm.ApplyPresetProfile(preset);
        frm.Show(SW_SHOWNORMAL);
        frm.ProcessMessages();
    }
};

TEST(MainWindowInProcess, PresetProfileGivesStandardLookWithServiceMenuOnly) {
    Window w(xqv::Project::OrveLin);
    EXPECT_EQ(gui::MenuCaptions(w.frm.Handle()), std::vector<std::string>{"Сервис"});
    EXPECT_EQ(gui::Text(w.frm.Handle()), "main_window_test");
    EXPECT_EQ(xqv::Application.Title, "main_window_test");
    const xqv::ProjectProfile& p = w.frm.Profile();
    EXPECT_EQ(p.ProjectName, "Orvelin");
    EXPECT_EQ(p.ClientLibraryName, "fbclient.dll");
    EXPECT_EQ(p.DatabaseFileName, "OrveLin.fdb");
    EXPECT_EQ(p.ClientExeName, "OrveLin.exe");
    EXPECT_EQ(p.DbConnectPrefix, "localhost/3051:");
    EXPECT_EQ(p.FreeSpaceFactor, 2);
}

TEST(MainWindowInProcess, OtherPresetKeepsAllMenusAndProjectCommandsSwitchProfiles) {
    Window w(xqv::Project::Vizevudav);
    HWND hwnd = w.frm.Handle();
    EXPECT_EQ(gui::MenuCaptions(hwnd), (std::vector<std::string>{"Проект", "Сервис", "Справка"}));
    HMENU project = GetSubMenu(GetMenu(hwnd), 0);
    EXPECT_EQ(GetMenuItemCount(project), 1) << "only the preset project stays visible";
    EXPECT_TRUE(GetMenuState(project, ids::mmProject_Vizevudav, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(GetMenuState(project, ids::mmProject_Vizevudav, MF_BYCOMMAND) & MF_GRAYED);

    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(ids::mmProject_VornaMini, 0), 0);
    const xqv::ProjectProfile& p = w.frm.Profile();
    EXPECT_EQ(p.ProjectName, "VORNA_MINI");
    EXPECT_EQ(p.DatabaseFileName, "Vorna_Mini.fdb");
    EXPECT_EQ(p.ClientExeName, "Vorna_Mini.exe");
    EXPECT_EQ(p.FreeSpaceFactor, 2);
    EXPECT_EQ(p.ClientLibraryName, "fbclient.dll");
    EXPECT_EQ(p.DbConnectPrefix, "localhost/3051:");
    EXPECT_EQ(gui::Text(gui::FindControl(hwnd, ids::eProgramLocation)), "C:\\XQV\\Vorna_Mini");
    EXPECT_EQ(gui::Text(hwnd), "Updater ПО ЛЕМВ ГК \"Вельмора\": обновление проекта Vorna_Mini");
}

// Both looks have the same service menu, the readiness check as its fifth command.
TEST(MainWindowInProcess, ServiceMenuEndsWithTheReadinessCheckInBothLooks) {
    for (xqv::Project preset : {xqv::Project::OrveLin, xqv::Project::Vizevudav}) {
        Window w(preset);
        HMENU bar = GetMenu(w.frm.Handle());
        const std::vector<std::string> captions = gui::MenuCaptions(w.frm.Handle());
        const auto at = std::find(captions.begin(), captions.end(), "Сервис");
        ASSERT_NE(at, captions.end());
        HMENU service = GetSubMenu(bar, static_cast<int>(at - captions.begin()));
        ASSERT_EQ(GetMenuItemCount(service), 5);
        EXPECT_EQ(GetMenuItemID(service, 4), UINT(ids::mmOperations_CheckReadiness));
        char text[128] = {};
        GetMenuStringA(service, 4, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, "Проверить готовность к обновлению");
    }
}

TEST(MainWindowInProcess, EntriesGoToViewWithoutLeadingCrAndToFileWithIt) {
    Window w(xqv::Project::OrveLin);
    w.frm.SaveExceptionToLog("первая");
    w.frm.SaveExceptionToLog("вторая\rстрока");
    const std::string view = gui::Text(gui::FindControl(w.frm.Handle(), ids::mLog));
    const std::string file = testfiles::ReadBytes(w.frm.LogFile());
    // The view: entry 1, line break, entry 2; the file: CR entry CR LF, twice.
    const size_t split = view.find("\r\n");
    ASSERT_NE(split, std::string::npos);
    const std::string first = view.substr(0, split), second = view.substr(split + 2);
    EXPECT_NE(first.find(": первая"), std::string::npos);
    EXPECT_NE(second.find(": вторая\rстрока"), std::string::npos);
    EXPECT_EQ(file, "\r" + first + "\r\n\r" + second + "\r\n");
}

TEST(MainWindowInProcess, LogFileLostKeepsTheViewAndRaisesInOutError) {
    Window w(xqv::Project::OrveLin);
    ASSERT_TRUE(DeleteFileA(w.frm.LogFile().c_str()));
    EXPECT_THROW(w.frm.SaveExceptionToLog("после удаления"), xqv::InOutError);
    EXPECT_NE(gui::Text(gui::FindControl(w.frm.Handle(), ids::mLog)).find(": после удаления"),
              std::string::npos);
}

// While the question of a run is open (the run is in progress), closing the window and menu
// commands are refused with a log line; Esc then ends the run as declined.
HWND busyWindow = nullptr;
void CALLBACK WhileTheQuestionIsOpen(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND question = FindWindowA("XqvMessageDialog", "Information");
    if (!question) return;
    KillTimer(nullptr, timer);
    SendMessageA(busyWindow, WM_CLOSE, 0, 0);
    SendMessageA(busyWindow, WM_COMMAND, MAKEWPARAM(ids::mmProject_Vorna, 0), 0);
    SendMessageA(busyWindow, WM_COMMAND, MAKEWPARAM(ids::mmOperations_CheckReadiness, 0), 0);
    PostMessageA(question, WM_KEYDOWN, VK_ESCAPE, 0);
}

TEST(MainWindowInProcess, CommandsAndClosingAreRefusedWhileARunIsInProgress) {
    const std::string location = "C:\\xqvtest\\ui\\busy";
    CreateDirectoryA("C:\\xqvtest", nullptr);
    CreateDirectoryA("C:\\xqvtest\\ui", nullptr);
    CreateDirectoryA(location.c_str(), nullptr);
    CreateDirectoryA((location + "\\Program").c_str(), nullptr);
    const std::string exe = location + "\\Program\\OrveLin.exe";
    std::ofstream(exe, std::ios::binary) << "клиент";

    Window w(xqv::Project::OrveLin);
    busyWindow = w.frm.Handle();
    SendMessageA(gui::FindControl(busyWindow, ids::eProgramLocation), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(location.c_str()));
    SetTimer(nullptr, 0, 200, WhileTheQuestionIsOpen);
    SendMessageA(busyWindow, WM_COMMAND, MAKEWPARAM(ids::OKBtn, BN_CLICKED), 0);

    EXPECT_TRUE(IsWindow(busyWindow));
    const std::string view = gui::Text(gui::FindControl(busyWindow, ids::mLog));
    EXPECT_NE(view.find("Закрытие программы отложено"), std::string::npos) << view;
    EXPECT_NE(view.find("Команда меню не выполнена"), std::string::npos) << view;
    EXPECT_EQ(view.find("Проверка готовности"), std::string::npos) << view;
    EXPECT_EQ(w.frm.Profile().ProjectName, "Orvelin");
    EXPECT_EQ(gui::Text(gui::FindControl(busyWindow, ids::mCaptions)), "Обновление прервано!");
    EXPECT_TRUE(IsWindowEnabled(gui::FindControl(busyWindow, ids::OKBtn)));
    DeleteFileA(exe.c_str());
    RemoveDirectoryA((location + "\\Program").c_str());
    RemoveDirectoryA(location.c_str());
}

} // namespace
