// A window for tests: records what the code under test logs and asks, answers its dialogs from
// a queue of scripted answers, and holds a settable profile and the outcome flag. It makes
// itself the current window while it lives.
#pragma once

#include <gtest/gtest.h>
#include <deque>
#include <functional>
#include <string>
#include <vector>
#include "errors.h"
#include "run_window.h"

namespace testenv {

class ScriptedWindow : public xqv::RunWindow {
public:
    struct Dialog {
        std::string text;
        xqv::MessageKind kind;
        xqv::DialogButtons buttons;
        xqv::DialogAnswer focusButton;
    };

    ScriptedWindow() { xqv::SetWindow(this); }
    ~ScriptedWindow() override { xqv::SetWindow(nullptr); }
    ScriptedWindow(const ScriptedWindow&) = delete;
    ScriptedWindow& operator=(const ScriptedWindow&) = delete;

    // The sample project's profile, as the exe's preset project has it.
    static xqv::ProjectProfile SampleProfile() {
        xqv::ProjectProfile p;
        p.ClientLibraryName = "fbclient.dll";
        p.DatabaseFileName = "OrveLin.fdb";
        p.ClientExeName = "OrveLin.exe";
        p.DbConnectPrefix = "localhost/3051:";
        p.FreeSpaceFactor = 2;
        p.ProjectName = "Orvelin";
        return p;
    }

    // What a test sets up.
    xqv::ProjectProfile profile;
    std::deque<xqv::DialogAnswer> answers;         // one per dialog, in order
    std::vector<std::string> failingLogLines;      // texts whose logging fails as a full disk would
    std::function<void(const std::string&)> onLog; // called with every text logged

    // What the code under test did.
    std::vector<std::string> logLines;      // SaveExceptionToLog texts
    std::vector<std::string> viewLines;     // AddLogViewLine lines
    std::vector<Dialog> dialogs;            // ShowMessage calls
    std::vector<std::string> plainMessages; // ShowPlainMessage texts
    std::string statusCaption;
    int processMessagesCalls = 0;
    bool updateStageFailed = false;
    std::string incompleteRollbackBackup; // empty unless the rollback could not finish

    void SaveExceptionToLog(const std::string& text) override {
        logLines.push_back(text);
        if (onLog) onLog(text);
        for (const std::string& failing : failingLogLines)
            if (text == failing) throw xqv::InOutError("Disk full");
    }
    void AddLogViewLine(const std::string& line) override { viewLines.push_back(line); }
    void ProcessMessages() override { ++processMessagesCalls; }
    // A dialog nobody scripted fails the test and is answered Cancel.
    xqv::DialogAnswer ShowMessage(const std::string& text, xqv::MessageKind kind,
                                  xqv::DialogButtons buttons,
                                  xqv::DialogAnswer focusButton) override {
        dialogs.push_back({text, kind, buttons, focusButton});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected dialog: " << text;
            return xqv::DialogAnswer::Cancel;
        }
        xqv::DialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowPlainMessage(const std::string& text) override { plainMessages.push_back(text); }
    void SetStatusCaption(const std::string& text) override { statusCaption = text; }
    void SetUpdateStageFailed(bool failed) override { updateStageFailed = failed; }
    bool UpdateStageFailed() const override { return updateStageFailed; }
    void SetRollbackIncomplete(const std::string& backupDir) override {
        incompleteRollbackBackup = backupDir;
    }
    const xqv::ProjectProfile& Profile() const override { return profile; }
};

} // namespace testenv
