// The update run: one fixed sequence of stages that brings an installation up to the release
// this executable carries, with a backup, a rollback when installing fails, and one
// accumulated error text.
#pragma once

#include <string>

namespace xqv {

// Previous empty: message; otherwise previous, an empty line, "Exception!" and
// "Message: " + message, lines separated by a single CR.
std::string FormatErrorText(const std::string& previous, const std::string& message);

// Runs the update of the installation at location (as typed). Returns on success; throws
// xqv::Error on failure (after a rollback, when one began, with the whole error text of the run)
// and xqv::SilentAbort when the user declines the confirmation.
void UpdateProgram(const std::string& location, const std::string& password,
                   const std::string& projectName);

} // namespace xqv
