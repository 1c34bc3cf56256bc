// The real updater driven as a person would: start it, type a location, press Start or choose a
// menu command, answer its dialogs by their buttons, and read what the window and the log show.
// Shared by the end-to-end tests.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "control_ids.h"
#include "gui_driver.h"
#include "screenshot.h"
#include "seen_texts.h"
#include "test_env.h"
#include "test_files.h"

namespace e2e {

namespace ids = xqv::ids;

inline std::string ExeFolder() {
    return testfiles::ProgramFolder();
}

inline std::string CurrentTestName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// A screenshot into the build folder's screenshots.
inline void Screenshot(const std::string& name) {
    const std::string folder = testenv::Value("XQV_BUILD_DIR");
    if (folder.empty()) return;
    testfiles::MakeFolders(testfiles::FromUnixPath(folder + "/screenshots"));
    SaveScreenshot(testfiles::FromUnixPath(folder + "/screenshots/" + name));
}

// Each piece must appear in text after the one before it.
inline void ExpectInOrder(const std::string& text, const std::vector<std::string>& pieces) {
    size_t at = 0;
    for (const std::string& piece : pieces) {
        const size_t found = text.find(piece, at);
        ASSERT_NE(found, std::string::npos) << "missing, or out of order: " << piece;
        at = found + piece.size();
    }
}

inline HWND FindButton(HWND dialog, const std::string& text) {
    for (HWND b = FindWindowExA(dialog, nullptr, "Button", nullptr); b;
         b = FindWindowExA(dialog, b, "Button", nullptr))
        if (gui::Text(b) == text) return b;
    return nullptr;
}

// The temporary folder a run made in the installation at location ("" when there is none).
inline std::string TempDirIn(const std::string& location) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((location + "\\Tmp$*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return "";
    FindClose(h);
    return location + "\\" + found.cFileName;
}

// A message dialog of the updater (caption "Information", "Warning" or "Error").
struct Dialog {
    HWND hwnd = nullptr;
    std::string text;
};

class UpdaterWindow : public ::testing::Test {
protected:
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) {
            Record("log view", ViewText());
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        }
        if (program) program->WaitExit(30);
    }

    // What the test read goes to the collection of shown texts (checked at the end of the suite).
    static void Record(const std::string& what, const std::string& text) {
        testenv::RecordSeenText(CurrentTestName() + ": " + what, text);
    }

    // Starts the updater (or a test build of it) and waits for its window. A window still open
    // from before is closed first, its log view recorded.
    void OpenUpdater(const std::string& exe = "Updater_OrveLin.exe") {
        if (hwnd && IsWindow(hwnd)) {
            Record("log view", ViewText());
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
            if (program) program->WaitExit(30);
        }
        program = std::make_unique<gui::Program>(ExeFolder() + "\\" + exe, startFolder);
        ASSERT_TRUE(program->Started());
        // The window's title, and so its boxes', is the exe's name without extension.
        title = exe.substr(0, exe.find_last_of('.'));
        hwnd = gui::WaitWindow(title, 30);
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(gui::WaitVisible(hwnd, 10));
    }

    void TypeLocation(const std::string& typed) {
        SendMessageA(gui::FindControl(hwnd, ids::eProgramLocation), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(typed.c_str()));
    }
    void TypePassword(const std::string& typed) {
        SendMessageA(gui::FindControl(hwnd, ids::ePassword), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(typed.c_str()));
    }

    // Presses Start as the button itself reports a click, through the panel that holds it. A
    // BM_CLICK needs the window to take the mouse capture, which under Wine a window that came up
    // after another program's window now and then does not get: the click is lost.
    void PressStart() {
        HWND start = gui::FindControl(hwnd, ids::OKBtn);
        gui::Press(GetParent(start), start);
    }

    void StartUpdater(const std::string& typedLocation,
                      const std::string& exe = "Updater_OrveLin.exe") {
        OpenUpdater(exe);
        TypeLocation(typedLocation);
        PressStart();
    }

    // Start, then Yes at the question about the parts found.
    void StartAndConfirm(const std::string& typedLocation,
                         const std::string& exe = "Updater_OrveLin.exe") {
        StartUpdater(typedLocation, exe);
        HWND question = WaitQuestion();
        ASSERT_NE(question, nullptr);
        Answer(question, "&Yes");
    }

    // Chooses a menu command of the main window.
    void ChooseMenu(int id) { PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    // The dialog counts once it is shown: its buttons exist and one holds the focus.
    static HWND WaitShownDialog(const char* caption, int seconds) {
        HWND dialog = gui::WaitWindow(caption, seconds, "XqvMessageDialog");
        if (dialog && !gui::WaitVisible(dialog, 10)) return nullptr;
        return dialog;
    }

    HWND WaitQuestion() { return WaitShownDialog("Information", 30); }

    // Waits for a message dialog of that caption and reads its text.
    Dialog WaitDialog(const char* caption, int seconds = 120) {
        Dialog dialog;
        dialog.hwnd = WaitShownDialog(caption, seconds);
        if (!dialog.hwnd) return dialog;
        // The text is painted by the dialog; it keeps it as its window data for readers.
        dialog.text = gui::Text(gui::FindControl(dialog.hwnd, 0xFFFF));
        Record(std::string("dialog ") + caption, dialog.text);
        return dialog;
    }

    // Presses the button with that text and waits until the dialog is gone.
    static void Answer(HWND dialog, const std::string& button) {
        HWND b = FindButton(dialog, button);
        ASSERT_NE(b, nullptr) << "no button " << button;
        gui::Press(dialog, b);
        EXPECT_TRUE(gui::WaitGone(dialog, 10));
    }

    // Waits until the run has ended (the status text no longer says it is in progress).
    std::string WaitOutcome(int seconds = 180) {
        HWND captions = gui::FindControl(hwnd, ids::mCaptions);
        for (int i = 0; i < seconds * 10; ++i) {
            const std::string text = gui::Text(captions);
            if (!text.empty() && text != "Идет обновление..." &&
                text.find("Выполняется откат") == std::string::npos &&
                IsWindowEnabled(gui::FindControl(hwnd, ids::OKBtn)))
                return text;
            Sleep(100);
        }
        return "(no outcome)";
    }

    std::string ViewText() { return gui::Text(gui::FindControl(hwnd, ids::mLog)); }

    // The view's last line, without its time stamp.
    std::string LastViewLine() {
        const std::string view = ViewText();
        const size_t start = view.rfind("\r\n");
        const std::string line = view.substr(start == std::string::npos ? 0 : start + 2);
        const size_t text = line.find(": ", line.find(" - "));
        return text == std::string::npos ? line : line.substr(text + 2);
    }

    // Waits until the log view shows line. The view answers only when the updater handles its
    // messages, which during a run it does next while the payload unpacks: what the test does
    // right after this happens before the backup.
    bool WaitViewLine(const std::string& line, int seconds = 30) {
        for (int i = 0; i < seconds * 200; ++i, Sleep(5))
            if (ViewText().find(line) != std::string::npos) return true;
        return false;
    }

    // The newest log file of this start.
    static std::string LogBytes() {
        return testfiles::ReadBytes(testfiles::NewestFile(ExeFolder() + "\\Logs\\*_Updater.log"));
    }

    // The next message box of the updater (an error box or a plain confirmation), its text, and
    // OK pressed.
    std::string TakeMessageBox(int seconds = 60) {
        HWND box = gui::WaitWindow(title, seconds, "#32770");
        if (!box || !gui::WaitVisible(box, 10)) return "(no message box) " + ViewText();
        const std::string text = gui::Text(GetDlgItem(box, 0xFFFF));
        Record("message box", text);
        Screenshot("e2e-box-" + CurrentTestName() + ".bmp");
        gui::Press(box, FindWindowExA(box, nullptr, "Button", nullptr));
        gui::WaitGone(box, 10);
        return text;
    }
    std::string TakeErrorBox(int seconds = 60) { return TakeMessageBox(seconds); }

    std::unique_ptr<gui::Program> program;
    // The current folder the updater starts in; empty: the test program's.
    std::string startFolder;
    std::string title;
    HWND hwnd = nullptr;
};

} // namespace e2e
