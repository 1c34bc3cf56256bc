#include "main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <new>
#include "bitmap_resource.h"
#include "control_ids.h"
#include "database_mode.h"
#include "errors.h"
#include "folder_chooser.h"
#include "readiness.h"
#include "message_dialog.h"
#include "run_log.h"
#include "service_control.h"
#include "window_data.h"
#include "system_routines.h"
#include "update_run.h"

namespace xqv {

TApplication Application;
TfrmMain* frmMain = nullptr;

namespace {

const char* const kMainClass = "TfrmMain";
const char* const kAreaClass = "XqvArea";
const int kClientWidth = 476, kClientHeight = 473;
const int kConnectionHeight = 123, kPanelHeight = 42, kBevelHeight = 6;
const int kLogoWidth = 472, kLogoHeight = 106;

// The multiple of the database's size that must be free on its disk, the same in every project.
// A build may set another (test builds do, to find too little room on a drive of any size).
#ifndef XQV_FREE_SPACE_FACTOR
#define XQV_FREE_SPACE_FACTOR 2
#endif
const int kFreeSpaceFactor = XQV_FREE_SPACE_FACTOR;

// What an area (group or panel) is: its caption (none for the panel) and frame.
struct AreaInfo {
    TfrmMain* owner;
    const char* caption;
    bool framed;
};

// The three labels of the connection group, drawn by the group over the logo.
struct LabelInfo {
    int x, y;
    const char* text;
};
const LabelInfo kLabels[] = {
    {8, 17, "Путь к обновляемой программе:"},
    {8, 61, "Пароль:"},
    {8, 99, "(требуется при обновлении сервера)"},
};

std::string ExePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string ExeFolder() {
    const std::string path = ExePath();
    return path.substr(0, path.find_last_of('\\'));
}

// The executable's file name without folder and extension.
std::string ExeBaseName() {
    std::string name = ExePath();
    name = name.substr(name.find_last_of('\\') + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

HFONT MakeFont(const char* face, int height, bool bold, BYTE charset = DEFAULT_CHARSET) {
    return CreateFontA(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, charset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

std::string ControlText(HWND control) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    text.resize(
        static_cast<size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string StripAccessKeys(const std::string& caption) {
    std::string plain;
    for (char c : caption)
        if (c != '&') plain += c;
    return plain;
}

std::string KindNameOf(const std::exception& e) {
    if (auto* error = dynamic_cast<const Error*>(&e)) return error->KindName();
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "EOutOfMemory";
    return "Exception";
}

} // namespace

TfrmMain::~TfrmMain() {
    if (hwnd_) DestroyWindow(hwnd_);
    for (HGDIOBJ o : {static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(boldFont_),
                      static_cast<HGDIOBJ>(captionsFont_), static_cast<HGDIOBJ>(captionsBrush_),
                      static_cast<HGDIOBJ>(SuccessBitmap_), static_cast<HGDIOBJ>(ErrorsBitmap_),
                      static_cast<HGDIOBJ>(logoSurface_)})
        if (o) DeleteObject(o);
    if (frmMain == this) frmMain = nullptr;
}

template <typename F> void TfrmMain::Guarded(F&& command) {
    try {
        command();
    } catch (const SilentAbort&) {
    } catch (const std::exception& e) {
        AEException(e);
    }
}

void TfrmMain::Create(HINSTANCE instance) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconA(instance, "MAINICON");
    wc.lpszClassName = kMainClass;
    RegisterClassA(&wc);
    wc.lpfnWndProc = AreaProc;
    wc.hIcon = nullptr;
    wc.lpszClassName = kAreaClass;
    RegisterClassA(&wc);

    frmMain = this;
    font_ = MakeFont("MS Sans Serif", 11, false);
    boldFont_ = MakeFont("MS Sans Serif", 11, true);
    captionsFont_ = MakeFont("Tahoma", 11, true, RUSSIAN_CHARSET);

    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    CreateMenus();
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, style, TRUE);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    hwnd_ = CreateWindowExA(WS_EX_CONTROLPARENT, kMainClass, "", style,
                            (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                            (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr,
                            MainMenu1_, instance, this);
    FitClientArea(hwnd_, kClientWidth, kClientHeight);
    CreateElements();
    SetWindow(this);
    FormCreate();
}

void TfrmMain::CreateMenus() {
    MainMenu1_ = CreateMenu();
    mmProject_ = CreatePopupMenu();
    const struct {
        int id;
        const char* caption;
    } projects[] = {{ids::mmProject_OrveLin, "OrveLin"},
                    {ids::mmProject_Vizevudav, "Vizevudav"},
                    {ids::mmProject_VornaMini, "Vorna_Mini"},
                    {ids::mmProject_Vorna, "Vorna"}};
    for (const auto& p : projects) {
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.fType = MFT_STRING | MFT_RADIOCHECK;
        item.wID = p.id;
        item.dwTypeData = const_cast<char*>(p.caption);
        InsertMenuItemA(mmProject_, GetMenuItemCount(mmProject_), TRUE, &item);
    }
    HMENU operations = CreatePopupMenu();
    AppendMenuA(operations, MF_STRING, ids::mmOperations_Online,
                "Перевести базу данных в многопользовательский режим (Online)");
    AppendMenuA(operations, MF_STRING, ids::mmOperations_Shutdown,
                "Перевести базу данных в однопользовательский режим (Shutdown)");
    AppendMenuA(operations, MF_STRING, ids::mmOperations_StartService,
                "Запустить службу Firebird-сервера");
    AppendMenuA(operations, MF_STRING, ids::mmOperations_StopService,
                "Остановить службу Firebird-сервера");
    AppendMenuA(operations, MF_STRING, ids::mmOperations_CheckReadiness,
                "Проверить готовность к обновлению");
    AppendMenuA(MainMenu1_, MF_POPUP, reinterpret_cast<UINT_PTR>(mmProject_), "Проект");
    AppendMenuA(MainMenu1_, MF_POPUP, reinterpret_cast<UINT_PTR>(operations), "Сервис");
    AppendMenuA(MainMenu1_, MF_STRING, ids::mmHelp, "Справка");
}

void TfrmMain::CreateElements() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    auto area = [&](AreaInfo* info, int id, int x, int y, int w, int h) {
        return CreateWindowExA(WS_EX_CONTROLPARENT, kAreaClass, info->caption,
                               WS_CHILD | WS_VISIBLE, x, y, w, h, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, info);
    };
    auto control = [&](HWND parent, const char* cls, const char* text, DWORD style, int id, int x,
                       int y, int w, int h, DWORD exStyle = 0) {
        HWND c =
            CreateWindowExA(exStyle, cls, text, WS_CHILD | style, x, y, w, h, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return c;
    };
    static AreaInfo connection{this, " Подключение  ", true};
    static AreaInfo log{this, " Лог работы ", true};
    static AreaInfo panel{this, "", false};
    connection.owner = log.owner = panel.owner = this;

    gbConnection_ = area(&connection, ids::gbConnection, 0, 0, kClientWidth, kConnectionHeight);
    eProgramLocation_ = control(gbConnection_, "EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                ids::eProgramLocation, 8, 32, 430, 21, WS_EX_CLIENTEDGE);
    bbProgramLocation_ = control(gbConnection_, "BUTTON", "...", WS_VISIBLE | WS_TABSTOP,
                                 ids::bbProgramLocation, 443, 30, 24, 24);
    ePassword_ =
        control(gbConnection_, "EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD,
                ids::ePassword, 8, 77, 145, 21, WS_EX_CLIENTEDGE);
    SendMessageA(ePassword_, EM_SETPASSWORDCHAR, '*', 0);

    const int logTop = kConnectionHeight;
    const int logHeight = kClientHeight - kConnectionHeight - kPanelHeight - kBevelHeight;
    gbLog_ = area(&log, ids::gbLog, 0, logTop, kClientWidth, logHeight);
    mLog_ = control(gbLog_, "EDIT", "",
                    WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                        ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                    ids::mLog, 2, 15, kClientWidth - 4, logHeight - 17, WS_EX_CLIENTEDGE);
    SendMessageA(mLog_, EM_SETLIMITTEXT, 0, 0);

    pBtn_ = area(&panel, ids::pBtn, 0, kClientHeight - kPanelHeight, kClientWidth, kPanelHeight);
    Image1_ = control(pBtn_, "STATIC", "", SS_OWNERDRAW, ids::Image1, 0, 0, 49, 42);
    aProgress_ = control(pBtn_, ANIMATE_CLASSA, "", ACS_TRANSPARENT, ids::aProgress, 0, 0, 41, 41);
    mCaptions_ = control(pBtn_, "EDIT", "", WS_VISIBLE | ES_MULTILINE | ES_READONLY, ids::mCaptions,
                         49, 5, 280, 32);
    SendMessageA(mCaptions_, WM_SETFONT, reinterpret_cast<WPARAM>(captionsFont_), FALSE);
    OKBtn_ =
        control(pBtn_, "BUTTON", "&Старт", WS_VISIBLE | WS_TABSTOP, ids::OKBtn, 332, 8, 68, 25);
    CancelBtn_ =
        control(pBtn_, "BUTTON", "Выход", WS_VISIBLE | WS_TABSTOP, ids::CancelBtn, 404, 8, 68, 25);

    tooltip_ = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                               hwnd_, nullptr, instance, nullptr);
    const struct {
        HWND button;
        const char* tip;
    } tips[] = {{OKBtn_, "Запустить обновление"}, {CancelBtn_, "Выход из программы"}};
    for (const auto& t : tips) {
        TTTOOLINFOA info = {};
        info.cbSize = TTTOOLINFOA_V1_SIZE;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = pBtn_;
        info.uId = reinterpret_cast<UINT_PTR>(t.button);
        info.lpszText = const_cast<char*>(t.tip);
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void TfrmMain::FormCreate() {
    // White menu bar and drop-down menus.
    SetMenuBackground(RGB(255, 255, 255));

    Application.Title = ExeBaseName();
    SetCaption(Application.Title);

    // The logo is drawn unscaled at the top-left corner of the logo area's surface, which has
    // the area's size: the picture's right edge is cut. A picture that cannot be loaded leaves
    // its place empty; the window works without it.
    HDC screen = GetDC(nullptr);
    logoSurface_ = CreateCompatibleBitmap(screen, kLogoWidth, kLogoHeight);
    HDC surface = CreateCompatibleDC(screen);
    HGDIOBJ oldSurface = SelectObject(surface, logoSurface_);
    RECT all = {0, 0, kLogoWidth, kLogoHeight};
    FillRect(surface, &all, GetSysColorBrush(COLOR_CAPTIONTEXT));
    if (HBITMAP logo = LoadBitmapResource("LOGOTYPE")) {
        HDC source = CreateCompatibleDC(screen);
        HGDIOBJ oldSource = SelectObject(source, logo);
        BitBlt(surface, 0, 0, kLogoWidth, kLogoHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, oldSource);
        DeleteDC(source);
        DeleteObject(logo);
    }
    SelectObject(surface, oldSurface);
    DeleteDC(surface);
    ReleaseDC(nullptr, screen);

    SuccessBitmap_ = LoadBitmapResource("SUCCESS");
    ErrorsBitmap_ = LoadBitmapResource("ERRORS");

    SetCaption("Updater ПО ЛЕМВ ГК \"Вельмора\": выберите проект");

    SYSTEMTIME now;
    GetLocalTime(&now);
    logFile_ = LogFileName(ExeFolder(), now);
    try {
        logFile_ = CreateLogFile(ExeFolder(), now);
        logFileReady_ = true;
    } catch (const Error& e) {
        // The program runs on without a log file: entries go to the view only.
        AddLogViewLine(TimeStampedLine("Не удалось создать файл лога " + logFile_ + ": " +
                                       e.Message() + ". Записи будут только в этом окне."));
    }
}

void TfrmMain::ApplyPresetProfile(Project preset) {
    const ProfileRow& row = ProfileOf(preset);
    SetCaption(row.Caption);
    profile_.ClientLibraryName = "fbclient.dll";
    profile_.DatabaseFileName = row.DatabaseFileName;
    profile_.ClientExeName = row.ClientExeName;
    SetWindowTextA(ePassword_, row.Password);
    SetWindowTextA(eProgramLocation_, row.Location);
    profile_.DbConnectPrefix = "localhost/3051:";
    profile_.FreeSpaceFactor = kFreeSpaceFactor;
    // Only the preset project stays in the project menu, checked and disabled.
    const int presetId = ids::mmProject_OrveLin + static_cast<int>(preset);
    for (int id = ids::mmProject_OrveLin; id <= ids::mmProject_Vorna; ++id)
        if (id != presetId) DeleteMenu(mmProject_, id, MF_BYCOMMAND);
    CheckMenuRadioItem(mmProject_, presetId, presetId, presetId, MF_BYCOMMAND);
    EnableMenuItem(mmProject_, presetId, MF_BYCOMMAND | MF_GRAYED);
    profile_.ProjectName = row.ProjectName;
}

void TfrmMain::Show(int showCommand) {
    FormShow();
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(eProgramLocation_);
}

void TfrmMain::FormShow() {
    if (profile_.ProjectName != "Orvelin") return;
    Application.Title = ExeBaseName();
    SetCaption(Application.Title);
    standardLook_ = true;
    SetMenuBackground(GetSysColor(COLOR_BTNFACE));
    RemoveTopMenu("Проект");
    RemoveTopMenu("Справка");
    logoVisible_ = false;
    InvalidateRect(hwnd_, nullptr, TRUE);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TfrmMain::FormDestroy() {
    if (MenuBrush_) {
        // The menu goes with the window; its brush after it.
        DeleteObject(MenuBrush_);
        MenuBrush_ = nullptr;
    }
}

void TfrmMain::SetMenuBackground(COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    MENUINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND;
    GetMenuInfo(MainMenu1_, &info);
    info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
    info.hbrBack = brush;
    SetMenuInfo(MainMenu1_, &info);
    if (hwnd_) DrawMenuBar(hwnd_);
    // The menu now paints with the new brush; the old one may go.
    if (MenuBrush_) DeleteObject(MenuBrush_);
    MenuBrush_ = brush;
}

void TfrmMain::RemoveTopMenu(const std::string& caption) {
    for (int i = 0; i < GetMenuItemCount(MainMenu1_); ++i) {
        char text[256] = {};
        GetMenuStringA(MainMenu1_, i, text, sizeof text, MF_BYPOSITION);
        if (lstrcmpiA(StripAccessKeys(text).c_str(), StripAccessKeys(caption).c_str()) == 0) {
            DeleteMenu(MainMenu1_, i, MF_BYPOSITION);
            break;
        }
    }
    DrawMenuBar(hwnd_);
}

void TfrmMain::SetCaption(const std::string& caption) {
    SetWindowTextA(hwnd_, caption.c_str());
}

void TfrmMain::ApplyProfile(Project project) {
    const ProfileRow& row = ProfileOf(project);
    profile_.DatabaseFileName = row.DatabaseFileName;
    profile_.ClientExeName = row.ClientExeName;
    SetWindowTextA(ePassword_, row.Password);
    SetWindowTextA(eProgramLocation_, row.Location);
    profile_.FreeSpaceFactor = kFreeSpaceFactor;
    profile_.ProjectName = row.ProjectName;
    SetCaption(row.Caption);
    const int id = ids::mmProject_OrveLin + static_cast<int>(project);
    CheckMenuRadioItem(mmProject_, ids::mmProject_OrveLin, ids::mmProject_Vorna, id, MF_BYCOMMAND);
}

// Marks the window busy for the life of one command.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& flag_;
};

bool TfrmMain::RefuseWhileBusy(const char* what) {
    if (!busy_) return false;
    AddLogViewLine(
        TimeStampedLine(std::string(what) + ": дождитесь завершения выполняемой операции."));
    return true;
}

void TfrmMain::OnCommand(int id) {
    if (id != ids::OKBtn && id != ids::CancelBtn && id != ids::bbProgramLocation &&
        RefuseWhileBusy("Команда меню не выполнена"))
        return;
    BusyScope busy(busy_);
    switch (id) {
    case ids::OKBtn:
        OKBtnClick();
        break;
    case ids::bbProgramLocation:
        bbProgramLocationClick();
        break;
    case ids::mmHelp:
        mmHelpClick();
        break;
    case ids::mmOperations_Online:
        mmOperations_OnlineClick();
        break;
    case ids::mmOperations_Shutdown:
        mmOperations_ShutdownClick();
        break;
    case ids::mmOperations_StartService:
        StartFbService(FbServParams, true);
        break;
    case ids::mmOperations_StopService:
        StopFbService(FbServParams, true);
        break;
    case ids::mmOperations_CheckReadiness:
        mmOperations_CheckReadinessClick();
        break;
    case ids::mmProject_Vizevudav:
        ApplyProfile(Project::Vizevudav);
        break;
    case ids::mmProject_VornaMini:
        ApplyProfile(Project::VornaMini);
        break;
    case ids::mmProject_Vorna:
        ApplyProfile(Project::Vorna);
        break;
    case ids::CancelBtn:
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);
        break;
#ifdef XQV_TEST_COMMANDS
    case 990: // test builds only: a command whose error escapes to the handler
        throw Error("Проверка обработчика ошибок");
#endif
    default:
        break;
    }
}

void TfrmMain::RequireProject() {
    if (profile_.ProjectName.empty()) {
        ShowMessage("Не выбран проект для обновления.", MessageKind::Warning, DialogButtons::Ok,
                    DialogAnswer::Ok);
        throw SilentAbort();
    }
}

void TfrmMain::OKBtnClick() {
    RequireProject();
    ShowWindow(mCaptions_, SW_SHOW);
    SetWindowTextA(mCaptions_, "");
    captionsColour_ = RGB(128, 0, 0);
    SetStatusCaption("Идет обновление...");
    ShowAnimation(true);
    ShowWindow(Image1_, SW_HIDE);
    ProcessMessages();
    EnableControls(false);
    updateStageFailed_ = false;
    incompleteRollbackBackup_.clear();
    const std::string password = ControlText(ePassword_);
    const std::string location = ControlText(eProgramLocation_);
    // Whatever the outcome, the controls come back and the animation stops.
    struct Restore {
        TfrmMain& w;
        ~Restore() {
            w.EnableControls(true);
            w.ProcessMessages();
            w.ShowAnimation(false);
        }
    } restore{*this};
    try {
        UpdateProgram(location, password, profile_.ProjectName);
    } catch (...) {
        ProcessMessages();
        ShowUpdateResult(false);
        throw;
    }
    ShowUpdateResult(true);
}

void TfrmMain::ShowUpdateResult(bool success) {
    SetWindowTextA(mCaptions_, "");
    if (success) {
        resultBitmap_ = SuccessBitmap_;
        captionsColour_ = RGB(0, 128, 0);
        SetStatusCaption("Обновление прошло успешно.\rЗавершите работу с программой.");
        SaveExceptionToLog("Обновление прошло успешно. Завершите работу с программой.");
    } else {
        resultBitmap_ = ErrorsBitmap_;
        captionsColour_ = RGB(128, 0, 0);
        SetStatusCaption(FailureText());
    }
    ShowWindow(Image1_, SW_SHOW);
    InvalidateRect(Image1_, nullptr, TRUE);
    ShowWindow(mCaptions_, SW_SHOW);
    ShowAnimation(false);
    RedrawWindow(mCaptions_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

std::string TfrmMain::FailureText() const {
    if (!updateStageFailed_) return "Обновление прервано!";
    if (incompleteRollbackBackup_.empty())
        return "Обновление прошло с ошибками!\rОткат изменений завершен.";
    // The backup's place within the installation ("Tmp$...\Old"): the whole path is in the log.
    const std::string& backup = incompleteRollbackBackup_;
    const size_t last = backup.find_last_of('\\');
    const size_t before = last == std::string::npos || last == 0
                              ? std::string::npos
                              : backup.find_last_of('\\', last - 1);
    return "Программа обновлена частично!\rКопия: " +
           (before == std::string::npos ? backup : backup.substr(before + 1));
}

void TfrmMain::EnableControls(bool enabled) {
    EnableWindow(gbConnection_, enabled);
    EnableWindow(pBtn_, enabled);
    // Child windows keep their own state: the controls inside follow their area. The status
    // text stays enabled: a disabled edit control draws its text grey whatever colour it is
    // given, and the run's status must stay in its own colour.
    for (HWND c : {eProgramLocation_, bbProgramLocation_, ePassword_, OKBtn_, CancelBtn_, Image1_,
                   aProgress_})
        EnableWindow(c, enabled);
}

void TfrmMain::ShowAnimation(bool playing) {
    if (playing) {
        // Frames 1 to 8 of the system's find-computer clip, in an endless loop.
        SendMessageA(aProgress_, ACM_OPENA,
                     reinterpret_cast<WPARAM>(GetModuleHandleA("shell32.dll")),
                     reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(152)));
        ShowWindow(aProgress_, SW_SHOW);
        // The control counts frames from zero.
        SendMessageA(aProgress_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 7));
    } else {
        SendMessageA(aProgress_, ACM_STOP, 0, 0);
        ShowWindow(aProgress_, SW_HIDE);
    }
}

// The database mode commands run with the input controls disabled, and give them back on every
// path, before an error reaches the error box.
class ControlsDisabled {
public:
    explicit ControlsDisabled(TfrmMain& window) : window_(window) { window_.EnableControls(false); }
    ~ControlsDisabled() { window_.EnableControls(true); }
    ControlsDisabled(const ControlsDisabled&) = delete;
    ControlsDisabled& operator=(const ControlsDisabled&) = delete;

private:
    TfrmMain& window_;
};

void TfrmMain::mmOperations_OnlineClick() {
    ControlsDisabled disabled(*this);
    DatabaseOnlineCommand(ControlText(eProgramLocation_), ControlText(ePassword_));
}

void TfrmMain::mmOperations_ShutdownClick() {
    ControlsDisabled disabled(*this);
    DatabaseShutdownCommand(ControlText(eProgramLocation_), ControlText(ePassword_));
}

// Checks what the update would find, with the controls disabled as for the database commands;
// it changes nothing and reports in the log and one closing dialog.
void TfrmMain::mmOperations_CheckReadinessClick() {
    RequireProject();
    ControlsDisabled disabled(*this);
    CheckUpdateReadiness(ControlText(eProgramLocation_), ControlText(ePassword_),
                         profile_.ProjectName);
}

void TfrmMain::mmHelpClick() {
    const std::string parameters = "\"" + ExeFolder() + "\\help.chm" + "\"";
    const std::string viewer = "\"" + GetWindowsFolder() + "hh.exe" + "\"";
    ShellExecuteA(nullptr, nullptr, viewer.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
}

void TfrmMain::bbProgramLocationClick() {
    std::string chosen;
    if (ChooseFolder(hwnd_, ControlText(eProgramLocation_), chosen))
        SetWindowTextA(eProgramLocation_, chosen.c_str());
}

void TfrmMain::SaveExceptionToLog(const std::string& text) {
    const std::string line = TimeStampedLine(text);
    AddLogViewLine(line);
    if (logFileReady_) AppendLogEntry(logFile_, line);
}

void TfrmMain::AddLogViewLine(const std::string& line) {
    // A new last line: a line break before it unless the view is empty.
    const int length = GetWindowTextLengthA(mLog_);
    SendMessageA(mLog_, EM_SETSEL, length, length);
    const std::string text = length > 0 ? "\r\n" + line : line;
    SendMessageA(mLog_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    // Keep the new line in sight from its start, not scrolled to its end.
    const LRESULT lastLine = SendMessageA(mLog_, EM_GETLINECOUNT, 0, 0) - 1;
    const LRESULT start = SendMessageA(mLog_, EM_LINEINDEX, lastLine, 0);
    SendMessageA(mLog_, EM_SETSEL, start, start);
    SendMessageA(mLog_, EM_SCROLLCARET, 0, 0);
}

void TfrmMain::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (IsDialogMessageA(hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

DialogAnswer TfrmMain::ShowMessage(const std::string& text, MessageKind kind, DialogButtons buttons,
                                   DialogAnswer focusButton) {
    return ShowMessageDialog(hwnd_, text, kind, buttons, focusButton);
}

void TfrmMain::ShowPlainMessage(const std::string& text) {
    MessageBoxA(hwnd_, text.c_str(), Application.Title.c_str(), MB_OK);
}

void TfrmMain::SetStatusCaption(const std::string& text) {
    // A CR alone breaks the status text into two lines.
    std::string shown;
    for (char c : text)
        shown += c == '\r' ? std::string("\r\n") : std::string(1, c);
    SetWindowTextA(mCaptions_, shown.c_str());
    UpdateWindow(mCaptions_);
}

void TfrmMain::AEException(const std::exception& e) {
    const std::string message = e.what();
    try {
        SaveExceptionToLog(KindNameOf(e) + " - " + message);
    } catch (const std::exception& logError) {
        // The entry is in the view; the file could not take it. Say so in the view and go on.
        try {
            AddLogViewLine(TimeStampedLine("Запись в файл лога не выполнена: " +
                                           std::string(logError.what())));
        } catch (...) {
        }
    }
    MessageBoxA(hwnd_, ErrorBoxText(message).c_str(), Application.Title.c_str(),
                MB_OK | MB_ICONERROR);
}

HBRUSH TfrmMain::AreaBrush() const {
    return GetSysColorBrush(standardLook_ ? COLOR_BTNFACE : COLOR_CAPTIONTEXT);
}

void TfrmMain::PaintConnectionGroup(HDC dc) {
    if (logoVisible_ && logoSurface_) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, logoSurface_);
        BitBlt(dc, 2, 15, kLogoWidth, kLogoHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    }
    HGDIOBJ old = SelectObject(dc, standardLook_ ? font_ : boldFont_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(standardLook_ ? COLOR_WINDOWTEXT : COLOR_WINDOW));
    for (const LabelInfo& label : kLabels)
        TextOutA(dc, label.x, label.y, label.text, lstrlenA(label.text));
    SelectObject(dc, old);
}

void TfrmMain::PaintArea(HWND area, HDC dc) {
    RECT r;
    GetClientRect(area, &r);
    FillRect(dc, &r, AreaBrush());
    auto* info = reinterpret_cast<AreaInfo*>(GetWindowLongPtrA(area, GWLP_USERDATA));
    if (!info || !info->framed) return;
    // A group: an etched frame whose top runs through the middle of the bold caption.
    HGDIOBJ old = SelectObject(dc, boldFont_);
    SIZE extent = {};
    GetTextExtentPoint32A(dc, info->caption, lstrlenA(info->caption), &extent);
    RECT frame = {r.left, extent.cy / 2, r.right, r.bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (area == gbConnection_) PaintConnectionGroup(dc);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(standardLook_ ? COLOR_BTNFACE : COLOR_CAPTIONTEXT));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    TextOutA(dc, 8, 0, info->caption, lstrlenA(info->caption));
    SelectObject(dc, old);
}

LRESULT CALLBACK TfrmMain::AreaProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* info = WindowData<AreaInfo>(hwnd, msg, lp);
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        if (info) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            info->owner->PaintArea(hwnd, dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        break;
    // Commands and colours of the controls inside are the main window's business.
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM:
        return SendMessageA(GetParent(hwnd), msg, wp, lp);
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK TfrmMain::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = WindowData<TfrmMain>(hwnd, msg, lp);
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCCREATE) self->hwnd_ = hwnd;
    return self->HandleMessage(msg, wp, lp);
}

LRESULT TfrmMain::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wp) == 0 || HIWORD(wp) == BN_CLICKED) {
            const int id = LOWORD(wp);
            Guarded([&] { OnCommand(id); });
            return 0;
        }
        break;
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd_, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r,
                 GetSysColorBrush(standardLook_ ? COLOR_BTNFACE : COLOR_WINDOW));
        // The separator strip above the bottom panel: a line along its lower edge.
        RECT bevel = {0, kClientHeight - kPanelHeight - kBevelHeight, kClientWidth,
                      kClientHeight - kPanelHeight};
        DrawEdge(reinterpret_cast<HDC>(wp), &bevel, BDR_SUNKENOUTER, BF_BOTTOM);
        return 1;
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wp);
        if (reinterpret_cast<HWND>(lp) == mCaptions_) {
            SetTextColor(dc, captionsColour_);
            SetBkColor(dc, GetSysColor(standardLook_ ? COLOR_BTNFACE : COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(
                GetSysColorBrush(standardLook_ ? COLOR_BTNFACE : COLOR_WINDOW));
        }
        if (reinterpret_cast<HWND>(lp) == mLog_) {
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        SetBkColor(dc, GetSysColor(standardLook_ ? COLOR_BTNFACE : COLOR_CAPTIONTEXT));
        return reinterpret_cast<LRESULT>(AreaBrush());
    }
    case WM_CTLCOLORBTN:
        return reinterpret_cast<LRESULT>(AreaBrush());
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        if (item->CtlID == static_cast<UINT>(ids::Image1)) {
            FillRect(item->hDC, &item->rcItem, AreaBrush());
            if (resultBitmap_) {
                BITMAP info = {};
                GetObject(resultBitmap_, sizeof info, &info);
                HDC source = CreateCompatibleDC(item->hDC);
                HGDIOBJ old = SelectObject(source, resultBitmap_);
                const int w = item->rcItem.right - item->rcItem.left;
                const int h = item->rcItem.bottom - item->rcItem.top;
                BitBlt(item->hDC, (w - info.bmWidth) / 2, (h - info.bmHeight) / 2, info.bmWidth,
                       info.bmHeight, source, 0, 0, SRCCOPY);
                SelectObject(source, old);
                DeleteDC(source);
            }
            return TRUE;
        }
        break;
    }
    case WM_CLOSE:
        // Closing half-way through an update would leave the installation unrestored.
        if (!RefuseWhileBusy("Закрытие программы отложено")) DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        FormDestroy();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        hwnd_ = nullptr;
        break;
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

} // namespace xqv
