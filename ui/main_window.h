// The main window of the updater (frmMain): its elements and two looks, the project profile,
// the run log's view side and the application-wide error handler. It is the window the engine
// talks to (RunWindow).
#pragma once

#include <windows.h>
#include <exception>
#include <string>
#include "profiles.h"
#include "run_window.h"

namespace xqv {

// The application object: its title captions error boxes and plain message boxes.
struct TApplication {
    std::string Title;
};
extern TApplication Application;

class TfrmMain : public RunWindow {
public:
    TfrmMain() = default;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;
    ~TfrmMain() override;

    // Creates the window and its elements (FormCreate runs inside); hidden until Show().
    void Create(HINSTANCE instance);
    // Program entry's part: the preset profile, the project menu's state.
    void ApplyPresetProfile(Project preset);
    // Shows the window; FormShow runs first.
    void Show(int showCommand);
    HWND Handle() const { return hwnd_; }

    // RunWindow
    void SaveExceptionToLog(const std::string& text) override;
    void AddLogViewLine(const std::string& line) override;
    void ProcessMessages() override;
    DialogAnswer ShowMessage(const std::string& text, MessageKind kind, DialogButtons buttons,
                             DialogAnswer focusButton) override;
    void ShowPlainMessage(const std::string& text) override;
    void SetStatusCaption(const std::string& text) override;
    void SetUpdateStageFailed(bool failed) override { updateStageFailed_ = failed; }
    bool UpdateStageFailed() const override { return updateStageFailed_; }
    void SetRollbackIncomplete(const std::string& backupDir) override {
        incompleteRollbackBackup_ = backupDir;
    }
    const ProjectProfile& Profile() const override { return profile_; }

    // The application-wide error handler: logs kind name and message, then shows the error box.
    void AEException(const std::exception& e);

    std::string LogFile() const { return logFile_; }

    // Enables or disables the connection group and the bottom panel with everything inside;
    // the menu bar and the close box stay as they are.
    void EnableControls(bool enabled);
    // The outcome of a run in the status area: picture, text and colour.
    void ShowUpdateResult(bool success);
    // The status text of a failed run.
    std::string FailureText() const;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK AreaProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    // Every window command runs through here: errors go to AEException, silent aborts vanish.
    template <typename F> void Guarded(F&& command);

    void FormCreate();
    void FormShow();
    void FormDestroy();
    void CreateElements();
    void CreateMenus();
    void SetMenuBackground(COLORREF colour);
    void RemoveTopMenu(const std::string& caption);
    void OnCommand(int id);
    void OKBtnClick();
    void mmHelpClick();
    void mmOperations_OnlineClick();
    void mmOperations_ShutdownClick();
    void mmOperations_CheckReadinessClick();
    // No project chosen: the warning, then a silent abort of the command.
    void RequireProject();
    void bbProgramLocationClick();
    void ShowAnimation(bool playing);
    // A command runs while no other does: the flag refuses menu commands and closing meanwhile.
    bool RefuseWhileBusy(const char* what);
    void ApplyProfile(Project project);
    void PaintConnectionGroup(HDC dc);
    void PaintArea(HWND area, HDC dc);
    HBRUSH AreaBrush() const;
    void SetCaption(const std::string& caption);

    HWND hwnd_ = nullptr;
    HWND gbConnection_ = nullptr, gbLog_ = nullptr, pBtn_ = nullptr;
    HWND eProgramLocation_ = nullptr, bbProgramLocation_ = nullptr, ePassword_ = nullptr;
    HWND mLog_ = nullptr, Image1_ = nullptr, aProgress_ = nullptr, mCaptions_ = nullptr;
    HWND OKBtn_ = nullptr, CancelBtn_ = nullptr, tooltip_ = nullptr;
    HMENU MainMenu1_ = nullptr, mmProject_ = nullptr;
    HFONT font_ = nullptr, boldFont_ = nullptr, captionsFont_ = nullptr;
    HBRUSH MenuBrush_ = nullptr, captionsBrush_ = nullptr;
    HBITMAP SuccessBitmap_ = nullptr, ErrorsBitmap_ = nullptr, logoSurface_ = nullptr;
    HBITMAP resultBitmap_ = nullptr;
    COLORREF captionsColour_ = RGB(128, 0, 0);

    bool standardLook_ = false;
    bool logoVisible_ = true;
    bool updateStageFailed_ = false;
    std::string incompleteRollbackBackup_; // empty unless the last run's rollback did not finish
    bool busy_ = false;
    ProjectProfile profile_;
    std::string logFile_;
    bool logFileReady_ = false;
};

extern TfrmMain* frmMain;

} // namespace xqv
