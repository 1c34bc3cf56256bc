// The main window as the engine sees it. The real window implements it; tests implement a
// scripted one that answers dialogs and records lines. One instance is current at a time.
#pragma once

#include <string>
#include "profile.h"

namespace xqv {

enum class MessageKind { Warning, Error, Information, Confirmation };
enum class DialogButtons { Ok, YesNo };
enum class DialogAnswer { Ok, Yes, No, Cancel };

class RunWindow {
public:
    virtual ~RunWindow() = default;
    // One time-stamped entry in the log view and the log file (may throw InOutError).
    virtual void SaveExceptionToLog(const std::string& text) = 0;
    // A line added to the log view as it is, with no time stamp and not to the file.
    virtual void AddLogViewLine(const std::string& line) = 0;
    // Lets the window handle its pending messages so the view repaints at once.
    virtual void ProcessMessages() = 0;
    // A modal message dialog centred on the screen; focusButton names the button that holds
    // the focus (Enter answers it).
    virtual DialogAnswer ShowMessage(const std::string& text, MessageKind kind,
                                     DialogButtons buttons, DialogAnswer focusButton) = 0;
    // A plain message box: no icon, OK, the application title as caption.
    virtual void ShowPlainMessage(const std::string& text) = 0;
    virtual void SetStatusCaption(const std::string& text) = 0;
    virtual void SetUpdateStageFailed(bool failed) = 0;
    virtual bool UpdateStageFailed() const = 0;
    // The rollback could not put everything back: the outcome must say that the installation may
    // be half-updated and where its backup (backupDir) lies. Cleared by the next Start.
    virtual void SetRollbackIncomplete(const std::string& backupDir) = 0;
    virtual const ProjectProfile& Profile() const = 0;
};

// The current window; set by the main window when it is created, or by a test.
RunWindow& Window();
void SetWindow(RunWindow* window);

// Shorthands for the engine.
inline void SaveExceptionToLog(const std::string& text) {
    Window().SaveExceptionToLog(text);
}
inline void ProcessMessages() {
    Window().ProcessMessages();
}

} // namespace xqv
