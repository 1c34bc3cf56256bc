#include "folder_chooser.h"

#include <commctrl.h>
#include <exception>
#include "errors.h"
#include "folder_chooser_tree.h"
#include "window_data.h"

namespace xqv {

namespace {

const char* const kChooserClass = "XqvChoiceFolder";
const int kClientWidth = 306, kClientHeight = 303;

// The dialog frmChoiceFolder: exists only while the chooser is open; the owner is disabled
// meanwhile. Errors raised while it handles messages end the dialog and leave ShowModal().
class TfrmChoiceFolder {
public:
    explicit TfrmChoiceFolder(HWND owner);
    TfrmChoiceFolder(const TfrmChoiceFolder&) = delete;
    TfrmChoiceFolder& operator=(const TfrmChoiceFolder&) = delete;
    ~TfrmChoiceFolder();

    void SetCurrentFolder(const std::string& path);
    // Shows the dialog and runs its messages until it closes; true when it closed with OK.
    bool ShowModal();
    bool SelectedPath(std::string& path) const { return stvChoiceFolder_.SelectedPath(path); }

private:
    static void RegisterWindowClass();
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void CreateElements();
    void Close(bool ok);
    // Ends the dialog by a key: Esc cancels, Enter presses Cancel when it has the focus, OK
    // otherwise. False for other keys.
    bool HandleKey(WPARAM key);
    void RaisePending();
    // Destroys the window and the font.
    void Release();

    HWND owner_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND OKBtn_ = nullptr, CancelBtn_ = nullptr;
    HWND lastFocus_ = nullptr;
    HFONT font_ = nullptr;
    ShellFolderTree stvChoiceFolder_;
    bool done_ = false;
    bool ok_ = false;
    std::exception_ptr pending_;
};

void TfrmChoiceFolder::RegisterWindowClass() {
    WNDCLASSA wc = {};
    if (GetClassInfoA(GetModuleHandleA(nullptr), kChooserClass, &wc)) return;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kChooserClass;
    RegisterClassA(&wc);
}

// Top-left corner of a window of the given size centred on the owner (on the screen without
// one), kept inside the work area of the owner's monitor.
POINT CentredOn(HWND owner, int width, int height) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT work = monitor.rcWork;
    RECT area = work;
    if (owner) GetWindowRect(owner, &area);
    POINT corner = {area.left + (area.right - area.left - width) / 2,
                    area.top + (area.bottom - area.top - height) / 2};
    if (corner.x + width > work.right) corner.x = work.right - width;
    if (corner.y + height > work.bottom) corner.y = work.bottom - height;
    if (corner.x < work.left) corner.x = work.left;
    if (corner.y < work.top) corner.y = work.top;
    return corner;
}

// Re-enables the owner when the modal dialog ends, however it ends.
class OwnerDisabled {
public:
    explicit OwnerDisabled(HWND owner) : owner_(owner && IsWindowEnabled(owner) ? owner : nullptr) {
        if (owner_) EnableWindow(owner_, FALSE);
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;
    ~OwnerDisabled() {
        if (owner_) EnableWindow(owner_, TRUE);
    }

private:
    HWND owner_;
};

TfrmChoiceFolder::TfrmChoiceFolder(HWND owner) : owner_(owner) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    RegisterWindowClass();
    font_ = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const POINT corner = CentredOn(owner, width, height);
    hwnd_ = CreateWindowExA(exStyle, kChooserClass, "Выбор папки", style, corner.x, corner.y, width,
                            height, owner, nullptr, GetModuleHandleA(nullptr), this);
    try {
        if (!hwnd_) throw Error("Невозможно открыть окно выбора папки!");
        FitClientArea(hwnd_, kClientWidth, kClientHeight);
        CreateElements();
        RaisePending();
    } catch (...) {
        Release();
        throw;
    }
}

TfrmChoiceFolder::~TfrmChoiceFolder() {
    Release();
}

void TfrmChoiceFolder::Release() {
    if (hwnd_) {
        // Messages of the window's destruction are no longer this object's.
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    if (font_) DeleteObject(font_);
    font_ = nullptr;
}

void TfrmChoiceFolder::CreateElements() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    auto control = [&](const char* cls, const char* text, DWORD style, int id, int x, int y, int w,
                       int h, DWORD exStyle = 0) {
        HWND c =
            CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (!c) throw Error("Невозможно открыть окно выбора папки!");
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return c;
    };

    // The label is as wide as its text.
    const char* const caption = "Выбор папки:";
    SIZE extent = {80, 13};
    if (HDC dc = GetDC(hwnd_)) {
        HGDIOBJ old = SelectObject(dc, font_);
        GetTextExtentPoint32A(dc, caption, lstrlenA(caption), &extent);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
    }
    control("STATIC", caption, SS_LEFT | SS_NOPREFIX, chooser_ids::lChoiceFolder, 8, 16, extent.cx,
            extent.cy);
    HWND tree = control(WC_TREEVIEWA, "",
                        WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_SHOWSELALWAYS |
                            TVS_DISABLEDRAGDROP,
                        chooser_ids::stvChoiceFolder, 8, 38, 289, 217, WS_EX_CLIENTEDGE);
    OKBtn_ = control("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, chooser_ids::OKBtn, 142, 268,
                     75, 25);
    CancelBtn_ = control("BUTTON", "Отмена", WS_TABSTOP | BS_PUSHBUTTON, chooser_ids::CancelBtn,
                         222, 268, 75, 25);
    stvChoiceFolder_.Build(tree);
}

void TfrmChoiceFolder::SetCurrentFolder(const std::string& path) {
    stvChoiceFolder_.SelectFolder(path);
    RaisePending();
}

bool TfrmChoiceFolder::ShowModal() {
    {
        OwnerDisabled ownerDisabled(owner_);
        // With no node selected the focus waits on OK: a tree taking the focus would select a
        // node of its own, which OK would then return in place of the location.
        HWND tree = stvChoiceFolder_.Handle();
        lastFocus_ = TreeView_GetSelection(tree) ? tree : OKBtn_;
        ShowWindow(hwnd_, SW_SHOW);
        SetForegroundWindow(hwnd_);
        SetFocus(lastFocus_);
        MSG msg;
        while (!done_) {
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) {
                // The program is ending: the chooser closes as cancelled, the quit goes on.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (got < 0) break;
            if (msg.message == WM_KEYDOWN && (msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd)) &&
                HandleKey(msg.wParam))
                continue;
            if (IsDialogMessageA(hwnd_, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // The owner is enabled again before the dialog hides, so that it takes the activation.
    }
    ShowWindow(hwnd_, SW_HIDE);
    RaisePending();
    return ok_;
}

void TfrmChoiceFolder::Close(bool ok) {
    if (done_) return;
    ok_ = ok;
    done_ = true;
    // A message sent to the dialog from elsewhere is handled inside GetMessage, which goes on
    // waiting: a posted message lets the loop see that the dialog is done.
    PostMessageA(hwnd_, WM_NULL, 0, 0);
}

bool TfrmChoiceFolder::HandleKey(WPARAM key) {
    if (key == VK_ESCAPE) {
        Close(false);
        return true;
    }
    if (key == VK_RETURN) {
        Close(GetFocus() != CancelBtn_);
        return true;
    }
    return false;
}

void TfrmChoiceFolder::RaisePending() {
    if (!pending_) return;
    std::exception_ptr error = pending_;
    pending_ = nullptr;
    std::rethrow_exception(error);
}

LRESULT CALLBACK TfrmChoiceFolder::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = WindowData<TfrmChoiceFolder>(hwnd, msg, lp);
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    // No error may cross the system's code that called us: it waits for the modal loop.
    try {
        return self->HandleMessage(msg, wp, lp);
    } catch (...) {
        if (!self->pending_) self->pending_ = std::current_exception();
        self->Close(false);
        return 0;
    }
}

LRESULT TfrmChoiceFolder::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case chooser_ids::OKBtn:
        case IDOK:
            Close(true);
            return 0;
        case chooser_ids::CancelBtn:
        case IDCANCEL:
            Close(false);
            return 0;
        }
        break;
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lp);
        if (header.hwndFrom != stvChoiceFolder_.Handle()) break;
        if (header.code == TVN_KEYDOWN) {
            // Keys sent to the tree directly, past the dialog's message loop.
            const WORD key = reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey;
            if (key == VK_ESCAPE || key == VK_RETURN) HandleKey(key);
            return 0;
        }
        if (header.code == NM_RETURN) {
            Close(true);
            return TRUE;
        }
        return stvChoiceFolder_.OnNotify(header);
    }
    case WM_KEYDOWN:
        if (HandleKey(wp)) return 0;
        break;
    case WM_CLOSE:
        Close(false);
        return 0;
    case WM_ACTIVATE:
        // The keyboard focus comes back to the control that had it.
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
        } else if (lastFocus_ && IsWindow(lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNFACE));
        SetTextColor(reinterpret_cast<HDC>(wp), GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

} // namespace

bool ChooseFolder(HWND owner, const std::string& location, std::string& chosen) {
    TfrmChoiceFolder frmChoiceFolder(owner);
    frmChoiceFolder.SetCurrentFolder(location);
    if (!frmChoiceFolder.ShowModal()) return false;
    std::string path;
    if (!frmChoiceFolder.SelectedPath(path)) return false;
    chosen = path;
    return true;
}

} // namespace xqv
