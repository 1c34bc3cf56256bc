#include "message_dialog.h"

#include <vector>
#include "window_data.h"

namespace xqv {

namespace {

const char* const kDialogClass = "XqvMessageDialog";
const int kButtonWidth = 75, kButtonHeight = 25, kMargin = 16, kButtonGap = 8, kIconSize = 32;

struct Button {
    DialogAnswer answer;
    const char* text;
    HWND hwnd;
};

struct DialogState {
    std::vector<Button> buttons;
    HICON icon = nullptr;
    HFONT font = nullptr;
    RECT textRect = {};
    DialogAnswer escapeAnswer = DialogAnswer::Ok;
    DialogAnswer answer = DialogAnswer::Ok;
    bool done = false;
};

LRESULT CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* state = WindowData<DialogState>(hwnd, msg, lp);
    switch (msg) {
    case WM_COMMAND:
        if (state && HIWORD(wp) == BN_CLICKED) {
            for (const Button& b : state->buttons)
                if (b.hwnd == reinterpret_cast<HWND>(lp)) {
                    state->answer = b.answer;
                    state->done = true;
                }
            return 0;
        }
        break;
    case WM_CLOSE:
        if (state) {
            state->answer = state->escapeAnswer;
            state->done = true;
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (state) {
            DrawIcon(dc, kMargin, kMargin, state->icon);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void RegisterDialogClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DialogProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kDialogClass;
    RegisterClassA(&wc);
    registered = true;
}

LPCSTR IconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning:
        return IDI_WARNING;
    case MessageKind::Error:
        return IDI_ERROR;
    case MessageKind::Information:
        return IDI_INFORMATION;
    case MessageKind::Confirmation:
        return IDI_QUESTION;
    }
    return IDI_INFORMATION;
}

} // namespace

const char* MessageDialogCaption(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning:
        return "Warning";
    case MessageKind::Error:
        return "Error";
    case MessageKind::Information:
        return "Information";
    case MessageKind::Confirmation:
        return "Confirm";
    }
    return "";
}

DialogAnswer ShowMessageDialog(HWND owner, const std::string& text, MessageKind kind,
                               DialogButtons buttons, DialogAnswer focusButton) {
    RegisterDialogClass();
    DialogState state;
    state.icon = LoadIconA(nullptr, IconOf(kind));
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    state.font = CreateFontIndirectA(&metrics.lfMessageFont);
    if (buttons == DialogButtons::YesNo) {
        state.buttons = {{DialogAnswer::Yes, "&Yes", nullptr}, {DialogAnswer::No, "&No", nullptr}};
        state.escapeAnswer = DialogAnswer::No;
    } else {
        state.buttons = {{DialogAnswer::Ok, "OK", nullptr}};
        state.escapeAnswer = DialogAnswer::Ok;
    }

    // Size the text: at most about two thirds of the screen wide.
    HDC dc = GetDC(nullptr);
    HGDIOBJ oldFont = SelectObject(dc, state.font);
    RECT textRect = {0, 0, GetSystemMetrics(SM_CXSCREEN) * 2 / 3, 0};
    DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &textRect,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    ReleaseDC(nullptr, dc);
    const int textLeft = kMargin + kIconSize + kMargin;
    const int textHeight = textRect.bottom > kIconSize ? textRect.bottom : kIconSize;
    state.textRect = {textLeft, kMargin, textLeft + textRect.right, kMargin + textHeight};
    const int buttonsWidth =
        static_cast<int>(state.buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    int clientWidth = textLeft + textRect.right + kMargin;
    if (clientWidth < buttonsWidth + 2 * kMargin) clientWidth = buttonsWidth + 2 * kMargin;
    const int buttonsTop = kMargin + textHeight + kMargin;
    const int clientHeight = buttonsTop + kButtonHeight + kMargin;

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT frame = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND hwnd =
        CreateWindowExA(WS_EX_DLGMODALFRAME, kDialogClass, MessageDialogCaption(kind), style, x, y,
                        width, height, owner, nullptr, GetModuleHandleA(nullptr), &state);
    // The text as a static control with the identifier the system's message boxes give theirs,
    // so that screen readers and test drivers can read it.
    const RECT& t = state.textRect;
    HWND textControl = CreateWindowA("STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX,
                                     t.left, t.top, t.right - t.left, t.bottom - t.top, hwnd,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xFFFF)),
                                     GetModuleHandleA(nullptr), nullptr);
    SendMessageA(textControl, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    int left = (clientWidth - buttonsWidth) / 2;
    HWND focused = nullptr;
    for (Button& b : state.buttons) {
        const bool isFocus = b.answer == focusButton;
        b.hwnd = CreateWindowA("BUTTON", b.text,
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                                   (isFocus ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                               left, buttonsTop, kButtonWidth, kButtonHeight, hwnd, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        SendMessageA(b.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
        if (isFocus || !focused) focused = b.hwnd;
        left += kButtonWidth + kButtonGap;
    }

    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    SetFocus(focused);

    MSG msg;
    while (!state.done && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && (msg.hwnd == hwnd || IsChild(hwnd, msg.hwnd))) {
            if (msg.wParam == VK_ESCAPE) {
                state.answer = state.escapeAnswer;
                state.done = true;
                continue;
            }
            if (msg.wParam == VK_RETURN) {
                for (const Button& b : state.buttons)
                    if (b.hwnd == GetFocus()) {
                        state.answer = b.answer;
                        state.done = true;
                    }
                continue;
            }
        }
        if (IsDialogMessageA(hwnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (msg.message == WM_QUIT) PostQuitMessage(static_cast<int>(msg.wParam));
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    DestroyWindow(hwnd);
    DeleteObject(state.font);
    if (owner) SetForegroundWindow(owner);
    return state.answer;
}

} // namespace xqv
