#include <dlfcn.h>
#include "fb_client.h"
#include "module_loader.h"

namespace xqv::fb {

void* OpenModule(const std::string& fileName, std::string* whyNot) {
    void* module = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module && whyNot) {
        const char* error = dlerror();
        *whyNot = error ? error : "";
    }
    return module;
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
