// Whether the script library is loaded in this process right now.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include "sqlscript_api.h"

namespace testenv {

inline bool ScriptLibraryLoaded() {
#if defined(_WIN32)
    return GetModuleHandleA(XQV_SQLSCRIPT_LIBRARY) != nullptr;
#else
    void* module = dlopen(XQV_SQLSCRIPT_LIBRARY, RTLD_LAZY | RTLD_NOLOAD);
    if (module) dlclose(module);
    return module != nullptr;
#endif
}

} // namespace testenv
