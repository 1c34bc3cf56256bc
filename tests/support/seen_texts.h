// Every text a test read from the product's windows (log views, dialogs, error boxes) is
// appended to one file of the test environment, so that a check at the end of the suite can look
// through all of them for what must never be shown, such as the server's password.
#pragma once

#include <windows.h>
#include <string>
#include "test_env.h"
#include "test_files.h"

namespace testenv {

// The collection file as a Windows path; empty outside the test environment.
inline std::string SeenTextsFile() {
    const std::string dir = Dir();
    return dir.empty() ? "" : testfiles::FromUnixPath(dir + "/seen-texts.txt");
}

// Appends text, with the test that read it, to the collection file.
inline void RecordSeenText(const std::string& where, const std::string& text) {
    const std::string file = SeenTextsFile();
    if (file.empty() || text.empty()) return;
    HANDLE h = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    const std::string entry = "==== " + where + "\r\n" + text + "\r\n";
    DWORD written = 0;
    WriteFile(h, entry.data(), DWORD(entry.size()), &written, nullptr);
    CloseHandle(h);
}

} // namespace testenv
