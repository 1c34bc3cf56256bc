// Driving the product's real windows from a test program: start it, find its windows and
// controls (also inside groups and panels), read texts, press buttons, choose menu commands,
// look at its pixels, save screenshots.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace gui {

inline HWND WaitWindow(const std::string& title, int seconds, const char* cls = nullptr) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (HWND hwnd = FindWindowA(cls, title.c_str())) return hwnd;
        Sleep(50);
    }
    return nullptr;
}

// Waits until the window is shown, then lets it finish painting.
inline bool WaitVisible(HWND hwnd, int seconds) {
    for (int i = 0; i < seconds * 20 && !IsWindowVisible(hwnd); ++i)
        Sleep(50);
    Sleep(300);
    return IsWindowVisible(hwnd) != 0;
}

inline bool WaitGone(HWND hwnd, int seconds) {
    for (int i = 0; i < seconds * 20 && IsWindow(hwnd); ++i)
        Sleep(50);
    return !IsWindow(hwnd);
}

struct ControlSearch {
    int id;
    HWND found;
};

inline BOOL CALLBACK MatchControl(HWND child, LPARAM lp) {
    auto* s = reinterpret_cast<ControlSearch*>(lp);
    if (GetDlgCtrlID(child) != s->id) return TRUE;
    s->found = child;
    return FALSE;
}

// The control with that identifier anywhere below the window.
inline HWND FindControl(HWND top, int id) {
    ControlSearch search = {id, nullptr};
    EnumChildWindows(top, MatchControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Presses a dialog's button as the button itself reports a click (WM_COMMAND with BN_CLICKED to
// its dialog). Unlike BM_CLICK it does not depend on the dialog being active yet.
inline void Press(HWND dialog, HWND button) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

inline std::string Text(HWND hwnd) {
    // Room to spare: the text may grow between the two messages.
    std::vector<char> buffer(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0) + 4096);
    SendMessageA(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return buffer.data();
}

// A started program; the process is ended when the object goes, if it still runs.
struct Program {
    PROCESS_INFORMATION pi = {};
    // folder: the program's current folder; empty: this program's.
    explicit Program(const std::string& exe, const std::string& folder = "") {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        std::string command = "\"" + exe + "\"";
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &si, &pi))
            pi = {};
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    bool Started() const { return pi.hProcess != nullptr; }
    bool WaitExit(int seconds) const {
        return WaitForSingleObject(pi.hProcess, seconds * 1000) == WAIT_OBJECT_0;
    }
    ~Program() {
        if (!pi.hProcess) return;
        if (!WaitExit(0)) TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
};

// The top-level menu captions of a window.
inline std::vector<std::string> MenuCaptions(HWND hwnd) {
    std::vector<std::string> captions;
    HMENU menu = GetMenu(hwnd);
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        captions.push_back(text);
    }
    return captions;
}

// What the screen shows of a window's client area, as pixels.
struct Pixels {
    int width = 0, height = 0;
    std::vector<COLORREF> data;
    COLORREF At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
    // How many pixels of exactly that colour lie in the rectangle.
    int Count(COLORREF colour, int x, int y, int w, int h) const {
        int n = 0;
        for (int j = y; j < y + h && j < height; ++j)
            for (int i = x; i < x + w && i < width; ++i)
                n += At(i, j) == colour;
        return n;
    }
};

inline Pixels CaptureClient(HWND hwnd) {
    Pixels p;
    RECT r;
    GetClientRect(hwnd, &r);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    p.width = r.right;
    p.height = r.bottom;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, p.width, p.height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, p.width, p.height, screen, origin.x, origin.y, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = p.width;
    header.biHeight = -p.height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    std::vector<DWORD> raw(static_cast<size_t>(p.width) * p.height);
    GetDIBits(memory, bitmap, 0, p.height, raw.data(), reinterpret_cast<BITMAPINFO*>(&header),
              DIB_RGB_COLORS);
    for (DWORD v : raw)
        p.data.push_back(RGB((v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff));
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return p;
}

} // namespace gui
