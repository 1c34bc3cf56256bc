// Loading the script library and checking a path, one implementation per platform
// (script_library_win.cpp, script_library_posix.cpp).
#pragma once

#include <string>

namespace xqv {

// The script library's module from the program's own folder first, then through the
// platform's normal search; null when it cannot be loaded. Released with fb::CloseModule.
void* OpenScriptLibrary();

// True when a file (not a folder) exists at path.
bool ScriptFileExists(const std::string& path);

} // namespace xqv
