#include <windows.h>
#include "fb_client.h"
#include "module_loader.h"

namespace xqv::fb {

void* OpenModule(const std::string& fileName) {
    return LoadLibraryA(fileName.c_str());
}

void* ModuleSymbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseModule(void* module) {
    if (module) FreeLibrary(static_cast<HMODULE>(module));
}

const char* PlatformClientLibraryName() {
    return "fbclient.dll";
}

} // namespace xqv::fb
