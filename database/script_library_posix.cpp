#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include "script_library.h"
#include "sqlscript_api.h"

namespace xqv {

namespace {

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    const std::string exe(path, static_cast<size_t>(length));
    return exe.substr(0, exe.rfind('/') + 1);
}

} // namespace

// dlopen does not look into the program's folder by itself.
void* OpenScriptLibrary() {
    const std::string folder = ProgramFolder();
    if (!folder.empty())
        if (void* module = dlopen((folder + XQV_SQLSCRIPT_LIBRARY).c_str(), RTLD_NOW | RTLD_LOCAL))
            return module;
    return dlopen(XQV_SQLSCRIPT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
}

bool ScriptFileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace xqv
