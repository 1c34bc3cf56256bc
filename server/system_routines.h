// Small Windows routines shared by the update engine and the main window: path helpers, run a
// program and wait, file size and free-space check, file copy over a protected target, the
// Windows folder. Paths are Windows paths in Windows-1251 text.
#pragma once

#include <cstdint>
#include <string>

namespace xqv {

// Paths.

// folder joined with name: a backslash between them unless folder already ends in one.
std::string JoinPath(const std::string& folder, const std::string& name);
std::string IncludeTrailingBackslash(const std::string& path);
std::string ExcludeTrailingBackslash(const std::string& path);

// The path expanded to a full path by the system (relative parts resolved against the current
// folder, a trailing backslash kept); empty when the system cannot expand it.
std::string ExpandPath(const std::string& path);

// "C:" for a drive path, "\\server\share" for a network path, empty for anything else.
std::string DrivePart(const std::string& path);

// True for a path of the form \\server\share... (but not the local device forms \\?\ and \\.\).
bool IsNetworkPath(const std::string& path);

// The folder of a file path: no trailing backslash except for a drive root ("C:\").
std::string FolderPart(const std::string& path);

bool FolderExists(const std::string& path);
// True when path names an existing file (a folder of that name does not count).
bool FileExists(const std::string& path);

// Programs, files and disks.

// Starts program (expanded to a full path, quoted on the command line) followed directly by
// parameters (begin them with a blank), in the program's own folder, and waits for it to end.
// Window messages are handled once before and once after the wait. Returns the exit code;
// throws xqv::Error when the process cannot be created.
uint32_t RunAndWait(const std::string& program, const std::string& parameters, int showMode);

// The file's size shifted right by shift bits, as a signed 32-bit number; -1 when the file does
// not open for reading without sharing (missing, or held open by anyone).
int32_t GetFileSizeScaled(const std::string& path, uint8_t shift);

// The file's size as its folder lists it, shifted right by shift bits, as a signed 32-bit number;
// -1 when there is no such file. The file is not opened, so a file that another program holds
// open (a database its server is using) is measured all the same.
int32_t GetListedFileSizeScaled(const std::string& path, uint8_t shift);

// Whether a disk with freeMb whole megabytes free can take requiredMb: exactly enough is enough.
inline bool FreeSpaceSuffices(int64_t freeMb, int64_t requiredMb) {
    return freeMb >= requiredMb;
}

// Throws xqv::Error unless the disk of driveRoot has at least factor times the file's size free
// (both in whole MB). The error has an empty text when the file does not open.
void CheckFreeSize(const std::string& path, const std::string& driveRoot, uint8_t factor);
// The same check for a file of sizeMb whole MB.
void CheckFreeSizeFor(int32_t sizeMb, const std::string& driveRoot, uint8_t factor);

// Copies source over target, clearing the read-only and hidden attributes of an existing target
// first. True when the copy succeeded; raises nothing.
bool CopyFileOverwrite(const std::string& source, const std::string& target);

// The Windows folder with a trailing backslash.
std::string GetWindowsFolder();

// n in decimal as two characters: "0" in front of one character, the last two of more.
std::string IntToTwoDigits(int n);

} // namespace xqv
