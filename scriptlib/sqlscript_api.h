// The binary contract of the script library (SqlScript.dll; libSqlScript.so natively): its
// three exports and the callbacks they take. All strings are zero-terminated single-byte text,
// all results 32-bit integers, everything stdcall on 32-bit Windows.
//
//   Connect(params, onConnectError): attaches with the connect parameter string; 0 when
//     connected, otherwise the reason went to onConnectError. No message of the library holds
//     the value of a connect parameter, so none shows the password: a value too long for the
//     attach is refused by the parameter's name.
//   ExecScriptText(script, onError, onText, onCode), ExecScriptFile(path, ...): run a script
//     on that connection, statement after statement. For each statement, in order:
//     onText(number, text); onError(statement, message) when it failed; then onCode(number,
//     code) with code 1 for success and another code for a failure (the first error code of
//     the server's status, or -1 for a failure found by the library itself). Runs of INSERTs
//     go to the server together (below), so their onText may come once the server has done
//     them. A non-zero answer of onCode to a failure stops the run: what the open transaction
//     holds is rolled back. Otherwise the run goes on and commits at its end. The result is
//     the number of failed statements. Every run detaches before it returns; the next run
//     needs a new Connect. The library detaches too when it is unloaded connected.
//
// Failures the library finds itself: a script that ends before a statement's terminator, or
// inside a block comment ("/*" without its "*/"; a comment after the last statement is then
// reported as the statement); a SET TERM whose new terminator cannot be read (a comment before
// it, or one starting with "/*" or "--"), after which the terminator stays as it was; SET NAMES
// without a character set, SET SQL DIALECT other than 1, 2 or 3, SET AUTODDL other than ON or
// OFF.
//
// Directives the library carries out itself: SET TERM; SET SQL DIALECT, for the statements
// after it; SET AUTODDL [ON | OFF]; COMMIT [WORK]; ROLLBACK [WORK]; RECONNECT: commit, detach
// and attach again with exactly the connect parameters of Connect. SET NAMES changes nothing:
// every attachment has the character set of the connect parameters. Every other statement goes
// to the server as written.
//
// With AUTODDL on (the default) a definition (CREATE, RECREATE, ALTER, DROP, COMMENT, GRANT,
// REVOKE, DECLARE, SET GENERATOR, SET STATISTICS) is committed at once, together with what the
// transaction held before it. When that commit fails, the definition alone is undone: the
// statements before it stay in the transaction.
//
// Sent together, in one EXECUTE BLOCK of at most 50 statements and 32 KB: consecutive INSERTs
// of the form INSERT INTO table [(column, ...)] VALUES (literal, ...), where a literal is a
// string in single quotes, a number or NULL and the names are plain or double-quoted, into a
// table that is no view, external or system table and has neither an active trigger that may
// fire on insert nor an identity column (as the database says in the open transaction; not
// while a definition waits there for its commit with AUTODDL off). Such an INSERT holds no name
// that a block could read as something else, and sets off nothing that an undo of the block
// leaves behind, such as generator values. When the block fails, it is undone and its
// statements run again one by one, so outcome and reports are those of statements sent alone,
// whether the run stops at a failure or goes on. Every other statement goes alone.
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
