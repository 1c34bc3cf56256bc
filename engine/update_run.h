// The update run: one fixed sequence of stages that brings an installation up to the release
// this executable carries, with a backup, a rollback when installing fails, and one
// accumulated error text.
#pragma once

#include <string>

namespace xqv {

// Previous empty: message; otherwise previous, an empty line, "Exception!" and
// "Message: " + message, lines separated by a single CR.
std::string FormatErrorText(const std::string& previous, const std::string& message);

// Logs text; when the log cannot take it, its error is recorded in errorText instead of ending
// what is going on. For the steps that must run whatever happens to the log: the rollback and
// bringing the database back online.
void LogRecordingFailure(const std::string& text, std::string& errorText);

// The client files a release brings, by the payload's own names.
extern const char* const kReleaseClientFiles[2];

// The parts of the program that InitVariables found ("КЛИЕНТСКАЯ часть", ...), as the run's
// question names them; throws the run's error when location (as typed) holds neither.
std::string FoundPartsText(const std::string& location, const std::string& projectName);

// Throws the run's refusal when an earlier run at Context.ProgramLocation was ended half-way
// (its marker is still in its temporary folder), naming the backup and what to restore.
void RefuseAfterUnfinishedRun();

// Runs the update of the installation at location (as typed). Returns on success; throws
// xqv::Error on failure (after a rollback, when one began, with the whole error text of the run)
// and xqv::SilentAbort when the user declines the confirmation.
void UpdateProgram(const std::string& location, const std::string& password,
                   const std::string& projectName);

} // namespace xqv
