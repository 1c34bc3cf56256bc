// A stand-in for the script library that reports what a test script tells it to, so that the
// runner's side of the contract can be checked without a server. Built without "Connect" when
// STUB_WITHOUT_CONNECT is defined; never exports "ExecScriptFile".
//   Connect: password "refuse" reports "refused by stub" and answers 1; password "echo" reports
//   the whole parameter string and still answers 0; anything else connects.
//   ExecScriptText, one command a line:
//     text X       onText(n, X), onCode(n, 1)
//     fail S|E     onError(S, E), onCode(n, 335544569), then onText(n, "answer N") with the
//                  code callback's answer
//     echo         onText(n, the whole script as received)
#include <cstring>
#include <sstream>
#include <string>
#include "sqlscript_api.h"

#if defined(_WIN32)
#define STUB_EXPORT extern "C" __declspec(dllexport)
#else
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#ifndef STUB_WITHOUT_CONNECT
STUB_EXPORT int32_t XQV_STDCALL Connect(const char* params, SqlConnectErrorCallback onError) {
    const std::string text = params;
    if (text.find("; password=refuse;") != std::string::npos) {
        onError("refused by stub");
        return 1;
    }
    if (text.find("; password=echo;") != std::string::npos) onError(params);
    return 0;
}
#endif

STUB_EXPORT int32_t XQV_STDCALL ExecScriptText(const char* script, SqlScriptErrorCallback onError,
                                               SqlScriptTextCallback onText,
                                               SqlScriptCodeCallback onCode) {
    std::istringstream lines(script);
    std::string line;
    int32_t n = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++n;
        if (line.rfind("text ", 0) == 0) {
            onText(n, line.c_str() + 5);
            onCode(n, 1);
        } else if (line.rfind("fail ", 0) == 0) {
            const size_t bar = line.find('|');
            const std::string statement = line.substr(5, bar - 5);
            onError(statement.c_str(), line.c_str() + bar + 1);
            const std::string answer = "answer " + std::to_string(onCode(n, 335544569));
            onText(n, answer.c_str());
        } else if (line == "echo") {
            onText(n, script);
        }
    }
    return 0;
}
