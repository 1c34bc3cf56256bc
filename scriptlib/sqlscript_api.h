// The binary contract of the script library (SqlScript.dll; libSqlScript.so natively): its
// three exports and the callbacks they take. All strings are zero-terminated single-byte text,
// all results 32-bit integers, everything stdcall on 32-bit Windows.
//
//   Connect(params, onConnectError): attaches with the connect parameter string; 0 when
//     connected, otherwise the reason went to onConnectError.
//   ExecScriptText(script, onError, onText, onCode), ExecScriptFile(path, ...): run a script
//     on that connection, statement after statement. For each statement, in order:
//     onText(number, text); onError(statement, message) when it failed; then onCode(number,
//     code) with code 1 for success and another code for a failure (the first error code of
//     the server's status, or -1 for a failure found by the library itself). Runs of plain
//     data changes go to the server together, so their onText may come once the server has
//     done them. A non-zero answer of onCode to a failure stops the run: what the open
//     transaction holds is rolled back. Otherwise the run goes on and commits at its end. The
//     result is the number of failed statements. Every run detaches before it returns; the
//     next run needs a new Connect. The library detaches too when it is unloaded connected.
//   Callbacks are called on the caller's thread, only during the call that received them.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define XQV_STDCALL __stdcall
#else
#define XQV_STDCALL
#endif

extern "C" {

typedef int32_t(XQV_STDCALL* SqlConnectErrorCallback)(const char* message);
typedef int32_t(XQV_STDCALL* SqlScriptErrorCallback)(const char* statement, const char* error);
typedef int32_t(XQV_STDCALL* SqlScriptTextCallback)(int32_t number, const char* text);
typedef int32_t(XQV_STDCALL* SqlScriptCodeCallback)(int32_t number, int32_t code);

typedef int32_t(XQV_STDCALL* SqlConnectFunction)(const char* params,
                                                 SqlConnectErrorCallback onConnectError);
typedef int32_t(XQV_STDCALL* SqlExecScriptFunction)(const char* script,
                                                    SqlScriptErrorCallback onError,
                                                    SqlScriptTextCallback onText,
                                                    SqlScriptCodeCallback onCode);
}

// The file name of the library on this platform.
#if defined(_WIN32)
#define XQV_SQLSCRIPT_LIBRARY "SqlScript.dll"
#else
#define XQV_SQLSCRIPT_LIBRARY "libSqlScript.so"
#endif
