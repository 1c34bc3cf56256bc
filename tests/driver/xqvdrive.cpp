// Test driver for the product's windows. Runs a sequence of commands given on its command line
// and stops at the first that fails, with exit code 1 and a line saying why:
//   start EXE                       start a program (from the current folder), do not wait
//   wait TITLE SECONDS              wait until a top-level window with that title exists
//   gone TITLE SECONDS              wait until no window with that title exists
//   expect-text TITLE ID TEXT       the control ID of the window shows exactly TEXT
//   set-text TITLE ID TEXT          put TEXT into the control ID
//   click TITLE ID                  press the button ID
//   press TITLE CAPTION             press the button with that caption in a window (dialogs)
//   wait-text TITLE ID TEXT SECONDS wait until the control ID shows exactly TEXT
//   menu TITLE ID                   choose the menu command ID
//   screenshot FILE                 save the screen as a 24-bit BMP (folders are created)
//   close TITLE                     close the window and wait until it is gone
//   sleep MS                        pause
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "gui_driver.h"
#include "screenshot.h"

namespace {

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "xqvdrive: %s\n", why.c_str());
    std::exit(1);
}

HWND FindTopLevel(const std::string& title) {
    return FindWindowA(nullptr, title.c_str());
}

HWND WaitWindow(const std::string& title, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (HWND hwnd = FindTopLevel(title)) return hwnd;
        Sleep(100);
    }
    Fail("no window \"" + title + "\"");
}

HWND Control(const std::string& title, const std::string& id) {
    HWND control = gui::FindControl(WaitWindow(title, 10), std::atoi(id.c_str()));
    if (!control) Fail("window \"" + title + "\" has no control " + id);
    return control;
}

void MakeParentFolders(const std::string& path) {
    for (size_t at = path.find_first_of("\\/", 3); at != std::string::npos;
         at = path.find_first_of("\\/", at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
}

void Start(const std::string& exe) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string command = "\"" + exe + "\"";
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        Fail("cannot start " + exe);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    size_t i = 0;
    auto next = [&](const char* what) -> std::string {
        if (i >= args.size()) Fail(std::string("missing ") + what);
        return args[i++];
    };
    while (i < args.size()) {
        const std::string command = next("command");
        if (command == "start") {
            Start(next("program"));
        } else if (command == "wait") {
            std::string title = next("title");
            WaitWindow(title, std::atoi(next("seconds").c_str()));
        } else if (command == "gone") {
            std::string title = next("title");
            int seconds = std::atoi(next("seconds").c_str());
            int n = 0;
            while (FindTopLevel(title) && n++ < seconds * 10)
                Sleep(100);
            if (FindTopLevel(title)) Fail("window \"" + title + "\" still there");
        } else if (command == "expect-text") {
            std::string title = next("title");
            HWND control = Control(title, next("id"));
            std::string expected = next("text");
            std::string actual = gui::Text(control);
            if (actual != expected)
                Fail("text is \"" + actual + "\", expected \"" + expected + "\"");
        } else if (command == "set-text") {
            std::string title = next("title");
            HWND control = Control(title, next("id"));
            std::string text = next("text");
            SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (command == "click") {
            std::string title = next("title");
            PostMessageA(Control(title, next("id")), BM_CLICK, 0, 0);
        } else if (command == "press") {
            HWND dialog = WaitWindow(next("title"), 30);
            // Its buttons exist once it is shown.
            if (dialog) gui::WaitVisible(dialog, 10);
            const std::string caption = next("caption");
            HWND button = nullptr;
            for (HWND b = FindWindowExA(dialog, nullptr, "Button", nullptr); b && !button;
                 b = FindWindowExA(dialog, b, "Button", nullptr))
                if (gui::Text(b) == caption) button = b;
            if (!button) Fail("no button \"" + caption + "\"");
            gui::Press(dialog, button);
        } else if (command == "wait-text") {
            std::string title = next("title");
            HWND control = Control(title, next("id"));
            std::string expected = next("text");
            int seconds = std::atoi(next("seconds").c_str());
            int n = 0;
            while (gui::Text(control) != expected && n++ < seconds * 10)
                Sleep(100);
            if (gui::Text(control) != expected)
                Fail("text is \"" + gui::Text(control) + "\", expected \"" + expected + "\"");
        } else if (command == "menu") {
            std::string title = next("title");
            HWND hwnd = WaitWindow(title, 10);
            PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(std::atoi(next("id").c_str()), 0), 0);
        } else if (command == "screenshot") {
            std::string path = next("file");
            MakeParentFolders(path);
            Sleep(300); // let the windows finish painting
            if (!SaveScreenshot(path)) Fail("cannot save " + path);
        } else if (command == "close") {
            std::string title = next("title");
            PostMessageA(WaitWindow(title, 10), WM_CLOSE, 0, 0);
            int n = 0;
            while (FindTopLevel(title) && n++ < 100)
                Sleep(100);
            if (FindTopLevel(title)) Fail("window \"" + title + "\" did not close");
        } else if (command == "sleep") {
            Sleep(std::atoi(next("milliseconds").c_str()));
        } else {
            Fail("unknown command " + command);
        }
    }
    return 0;
}
