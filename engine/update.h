// The update engine: the context of one run (the folder layout of an installation), the folder
// operations the run moves trees with, and the payload the run carries in its own executable.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

namespace xqv {

// Update context.

// Every path of one run, built by InitVariables from the program location. Paths carry no
// trailing backslash unless the typed location ends in one. The local server found on the way
// is the program-wide FbServParams (server/fb_server.h).
struct UpdateContext {
    std::string ProgramLocation;   // the location expanded to a full path
    std::string ProgramDir;        // "Program": the client part
    std::string DatabaseDir;       // "DB_Data": the server part
    std::string TempDir;           // "Tmp$" + time stamp, private to the run
    std::string NewDir;            // TempDir\New: the payload and the new client files
    std::string BackupDir;         // TempDir\Old: the backup
    std::string BackupProgramDir;  // BackupDir\Program
    std::string BackupDatabaseDir; // BackupDir\DB_Data
    std::string DbConnectString;   // profile's prefix + the database file's path
    bool ClientPartFound = false;  // the client executable is a file in ProgramDir
    bool ServerPartFound = false;  // the database file is a file in DatabaseDir
};

// The context of the current run; kept until the next InitVariables.
extern UpdateContext Context;

// Builds Context for the location as typed, discovers the local server into FbServParams (only
// when discovery succeeds), and logs its start and end. Changes nothing on disk. Throws
// xqv::Error for a missing or non-local location and passes discovery errors on unchanged.
void InitVariables(const std::string& location);

// The time stamp of a temporary folder name: "ddmmyyhhnnss" (24-hour clock).
std::string TimeStampText(const SYSTEMTIME& time);

// Folder operations.

// Removes folder with everything inside it (read-only, hidden and system files too), depth
// first. A missing folder, or one that cannot be removed once empty, is no error; a file that
// cannot be deleted ends the operation at once with an error naming it, leaving the rest. A
// folder link inside (or folder itself being one) is removed as a link where the system allows
// it; what it stands for is never touched.
void DeleteFolder(const std::string& folder);

// Creates exactly this one folder; throws xqv::Error when it exists or its parent is missing.
void CreateFolder(const std::string& folder);

// Copies the tree of source into dest (created with its missing parents), overwriting files of
// the same name and keeping anything else dest holds. What cannot be copied is skipped and named
// in the result, one message each, so that a caller can refuse an incomplete copy: a file that
// does not copy, a subfolder that cannot be read, a folder link (junction or symbolic link; a
// link is never followed, neither in the source nor in the target).
std::vector<std::string> CopyFolder(const std::string& source, const std::string& dest);

// The message for a file that could not be copied.
std::string CopyFailure(const std::string& path);

// Tests that nothing holds Context.ProgramLocation open by renaming it to a sibling name
// (location + "_") and back. Logs its start and end.
void CheckFolderLocks();

// Payload.

// Writes the whole resource resourceName (empty: "files") of type "EXEFILE" of the own
// executable into fileName, replacing any file there.
void ExtractResourceToFile(const std::string& fileName, const std::string& resourceName);

// The whole resource of the own executable, zero bytes included.
std::string LoadResourceBytes(const std::string& resourceName, const std::string& resourceType);

// The resource of the own executable as text: its bytes up to the first zero byte or its end.
std::string LoadResourceText(const std::string& resourceName, const std::string& resourceType);

// Writes the embedded payload as "files.exe" into folder and runs it there until it ends; the
// payload unpacks the new client files into that folder. Its exit code is not used.
void UnpackPayload(const std::string& folder);

} // namespace xqv
