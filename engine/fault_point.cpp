// Test equipment, compiled only into the test build's engine. The test names the points in the
// environment of the updater it starts:
//   XQV_FAULT_POINTS   comma-separated points; "point" fails there, "point:stop" waits there
//                      (for a test that looks at the installation at that moment, or ends
//                      the process there)
//   XQV_FAULT_REACHED  a file the stop writes the point's name into; the run goes on once the
//                      test has removed it
#include "fault_point.h"

#include <windows.h>
#include <cctype>
#include <cstring>
#include <set>
#include "errors.h"
#include "update_run.h"

namespace xqv {

namespace {

std::string Environment(const char* name) {
    char value[1024];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// What the test asked for at point: "" nothing, "fail" or "stop". Each point acts once.
std::string Action(const char* point) {
    static std::set<std::string> passed;
    if (!passed.insert(point).second) return "";
    const std::string list = "," + Environment("XQV_FAULT_POINTS") + ",";
    const std::string name = point;
    if (list.find("," + name + ",") != std::string::npos) return "fail";
    if (list.find("," + name + ":stop,") != std::string::npos) return "stop";
    return "";
}

void Stop(const char* point) {
    const std::string reached = Environment("XQV_FAULT_REACHED");
    HANDLE file = CreateFileA(reached.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, point, static_cast<DWORD>(strlen(point)), &written, nullptr);
        CloseHandle(file);
    }
    while (GetFileAttributesA(reached.c_str()) != INVALID_FILE_ATTRIBUTES)
        Sleep(20);
}

std::string Message(const char* point) {
    return std::string("Сбой, внесенный тестом в точке ") + point + ".";
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

void FaultPoint(const char* point) {
    const std::string action = Action(point);
    if (action == "stop") Stop(point);
    if (action == "fail") throw Error(Message(point));
}

void FaultPointRecorded(const char* point, std::string& errorText) {
    const std::string action = Action(point);
    if (action == "stop") Stop(point);
    if (action == "fail") errorText = FormatErrorText(errorText, Message(point));
}

// The statement goes after the commit nearest the middle of the script, so that the script has
// already changed the database when it fails; a script without a commit gets it at its end.
std::string FaultScript(const std::string& script) {
    if (Action("script") != "fail") return script;
    const std::string failing = "EXECUTE PROCEDURE FAULT_INJECTED_BY_TEST;\r\n";
    size_t best = std::string::npos;
    for (size_t start = 0; start < script.size();) {
        size_t end = script.find('\n', start);
        end = end == std::string::npos ? script.size() : end + 1;
        std::string line = Lower(script.substr(start, end - start));
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
            line.pop_back();
        const bool commit = line.rfind("commit", 0) == 0 && !line.empty() && line.back() == ';';
        const auto distance = [&](size_t at) {
            return at > script.size() / 2 ? at - script.size() / 2 : script.size() / 2 - at;
        };
        if (commit && (best == std::string::npos || distance(end) < distance(best))) best = end;
        start = end;
    }
    if (best == std::string::npos) return script + "\r\n" + failing;
    return script.substr(0, best) + failing + script.substr(best);
}

} // namespace xqv
