// Program entry of the updater: shows the main window until it is closed.
#include <windows.h>
#include <string>

namespace {

// The executable's file name without folder and extension.
std::string ExeBaseName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    name = name.substr(name.find_last_of("\\/") + 1);
    return name.substr(0, name.find_last_of('.'));
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "TfrmMain";
    RegisterClassA(&wc);
    const DWORD style = WS_CAPTION | WS_SYSMENU;
    RECT frame = {0, 0, 476, 473};
    AdjustWindowRect(&frame, style, FALSE);
    HWND hwnd = CreateWindowA(wc.lpszClassName, ExeBaseName().c_str(), style, CW_USEDEFAULT,
                              CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                              nullptr, nullptr, instance, nullptr);
    CreateWindowA("STATIC", "Путь к обновляемой программе:", WS_CHILD | WS_VISIBLE, 8, 17, 300, 16,
                  hwnd, nullptr, instance, nullptr);
    ShowWindow(hwnd, show);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
