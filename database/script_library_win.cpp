#include <windows.h>
#include "script_library.h"
#include "sqlscript_api.h"

namespace xqv {

// LoadLibraryA searches the folder of the program's executable before all others.
void* OpenScriptLibrary() {
    return LoadLibraryA(XQV_SQLSCRIPT_LIBRARY);
}

bool ScriptFileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace xqv
