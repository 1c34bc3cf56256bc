// Loading a shared library by file name; one implementation per platform
// (module_loader_win.cpp, module_loader_posix.cpp).
#pragma once

#include <string>

namespace xqv::fb {

// The library's module, or null when it cannot be loaded; then whyNot, when given, receives the
// reason as text for the administrator (Windows-1251): what was found where, and what is wrong
// with it.
void* OpenModule(const std::string& fileName, std::string* whyNot = nullptr);
// The exported symbol, or null.
void* ModuleSymbol(void* module, const char* name);
void CloseModule(void* module);

} // namespace xqv::fb
