// One real server update of the sample installation (super server, nobody else attached), with a
// window that notes the moment of every log line. Prints the time the database is not online,
// from the shutdown request to the end of the online switch, split into the fixed pauses, the
// service stop and start, the backup copy, the script and everything else.
#include <windows.h>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>
#include "errors.h"
#include "fb_service_fixture.h"
#include "script_db.h"
#include "service_control.h"
#include "test_files.h"
#include "update_run.h"

namespace {

const std::string kLocation = "C:\\xqvbench\\OrveLin";
// The pause after the shutdown request, fixed by the shutdown operation.
const double kShutdownPause = 2.0;

// A window that answers Yes, keeps every log line with the moment it was written.
class TimingWindow : public xqv::RunWindow {
public:
    struct Line {
        double at;
        std::string text;
    };
    TimingWindow() {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
        profile_.ClientLibraryName = "fbclient.dll";
        profile_.DatabaseFileName = "OrveLin.fdb";
        profile_.ClientExeName = "OrveLin.exe";
        profile_.DbConnectPrefix = "localhost/" + testenv::FbPort() + ":";
        profile_.FreeSpaceFactor = 2;
        profile_.ProjectName = "Orvelin";
        xqv::SetWindow(this);
    }
    ~TimingWindow() override { xqv::SetWindow(nullptr); }

    void SaveExceptionToLog(const std::string& text) override { lines.push_back({Now(), text}); }
    void AddLogViewLine(const std::string&) override {}
    void ProcessMessages() override {}
    xqv::DialogAnswer ShowMessage(const std::string&, xqv::MessageKind, xqv::DialogButtons,
                                  xqv::DialogAnswer) override {
        return xqv::DialogAnswer::Yes;
    }
    void ShowPlainMessage(const std::string&) override {}
    void SetStatusCaption(const std::string&) override {}
    void SetUpdateStageFailed(bool) override {}
    bool UpdateStageFailed() const override { return false; }
    void SetRollbackIncomplete(const std::string&) override {}
    const xqv::ProjectProfile& Profile() const override { return profile_; }

    // The moment of the first line with that text at or after index from; -1 when none.
    double At(const std::string& text, size_t from = 0) const {
        for (size_t i = from; i < lines.size(); ++i)
            if (lines[i].text == text) return lines[i].at;
        return -1;
    }
    // The moment of the last line with that text.
    double LastAt(const std::string& text) const {
        for (size_t i = lines.size(); i-- > 0;)
            if (lines[i].text == text) return lines[i].at;
        return -1;
    }
    // The time from the line with text to the line after it.
    double Span(const std::string& text) const {
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            if (lines[i].text == text) return lines[i + 1].at - lines[i].at;
        return -1;
    }

    std::vector<Line> lines;

private:
    double Now() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return double(now.QuadPart - start_.QuadPart) / double(frequency_.QuadPart);
    }
    LARGE_INTEGER frequency_ = {}, start_ = {};
    xqv::ProjectProfile profile_;
};

void Row(const char* name, double seconds, double downtime) {
    std::printf("  %-34s %7.2f s  %5.1f %%\n", name, seconds, 100.0 * seconds / downtime);
}

} // namespace

int main() {
    testenv::InstallFbServer(testenv::FbInstallation::VendorSuper);
    testenv::FbServerRestorer restorer;
    testfiles::FreshFolder(kLocation);
    testfiles::WriteTree(kLocation + "\\Program\\OrveLin.exe", "старый клиент 6.0");
    testfiles::WriteTree(kLocation + "\\Program\\OrveLin.chm", "старая справка 6.0");
    auto db = std::make_unique<testenv::ScriptDatabase>("OrveLin", kLocation + "\\DB_Data");
    db->CreateVersion6();
    const long long databaseBytes =
        static_cast<long long>(testfiles::ReadBytes(kLocation + "\\DB_Data\\OrveLin.fdb").size());

    TimingWindow window;
    try {
        xqv::UpdateProgram(kLocation, testenv::FbPassword(), "Orvelin");
    } catch (const std::exception& e) {
        std::printf("the update failed: %s\n", e.what());
        return 1;
    }

    const double down = window.At("Перевод базы данных в однопользовательский режим (Shutdown)");
    const double up = window.LastAt("База данных переведена в многопользовательский режим.");
    const double downtime = up - down;
    const double stopPause = xqv::ServiceStopPauseMs / 1000.0;
    // Two successful stops pause each: the stop of the cycle, and the start's own stop first.
    const double pauses = kShutdownPause + 2 * stopPause;
    const double stop = window.Span("Остановка службы FireBird.") - stopPause;
    const double start = window.Span("Запуск службы FireBird.") - stopPause;
    const double backup = window.Span("Создание резервной копии программы");
    const double script = window.Span("Выполненяется скрипт синхронизации структуры проекта");
    const double rest = downtime - pauses - stop - start - backup - script;

    std::printf("database not online: %.2f s (database file %.1f MB)\n", downtime,
                databaseBytes / 1048576.0);
    Row("fixed pauses (2 s + 2 x 15 s)", pauses, downtime);
    Row("service stop", stop, downtime);
    Row("service start (with its own stop)", start, downtime);
    Row("backup copy (DB_Data, Program)", backup, downtime);
    Row("migration script", script, downtime);
    Row("everything else", rest, downtime);
    std::printf("everything else: %.2f s, %.1f %% of the downtime (goal: under 2 s)\n", rest,
                100.0 * rest / downtime);

    db.reset();
    testfiles::RemoveTree("C:\\xqvbench");
    return 0;
}
