// The run log's file side: the dated log file beside the executable, its entries and the text
// of the error box. The window adds the view side (main_window.cpp).
#pragma once

#include <windows.h>
#include <string>

namespace xqv {

// "<exe folder>\Logs\DDMMYY-hhmmss_Updater.log" for the moment `now`; a later start within the
// same second gets number 2, 3, ...: "DDMMYY-hhmmss_2_Updater.log".
std::string LogFileName(const std::string& exeFolder, const SYSTEMTIME& now, int number = 1);

// How many starts within one second get a log file of their own.
const int kMaxLogFilesPerSecond = 99;

// Creates the Logs folder (with missing parents) and a new empty log file named for `now`,
// under the first of those names that no file has yet: an existing log is never emptied.
// Returns the file's name. Throws InOutError when the folder or file cannot be made.
std::string CreateLogFile(const std::string& exeFolder, const SYSTEMTIME& now);

// The current date in the user's short date format, " - ", the current time in the user's
// long time format, ": ", then text: one entry as the view shows it.
std::string TimeStampedLine(const std::string& text);

// Appends CR, line, CR LF to the file; throws InOutError with the runtime's text for the failure
// ("File access denied", "Disk full", ...).
void AppendLogEntry(const std::string& fileName, const std::string& line);

// The error box text: the message with a full stop added when it is not empty and its last
// character's code is above that of ".".
std::string ErrorBoxText(const std::string& message);

} // namespace xqv
