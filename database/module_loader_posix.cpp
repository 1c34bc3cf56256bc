#include <dlfcn.h>
#include "fb_client.h"
#include "module_loader.h"

namespace xqv::fb {

void* OpenModule(const std::string& fileName) {
    return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* ModuleSymbol(void* module, const char* name) {
    return dlsym(module, name);
}

void CloseModule(void* module) {
    if (module) dlclose(module);
}

const char* PlatformClientLibraryName() {
    return "libfbclient.so.2";
}

} // namespace xqv::fb
