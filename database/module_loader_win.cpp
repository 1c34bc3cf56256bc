#include <windows.h>
#include <cstdint>
#include <fstream>
#include "fb_client.h"
#include "module_loader.h"

namespace xqv::fb {

namespace {

const char* const kNotFound = "библиотека не найдена.";

// The machine a PE file is built for, from its file header; 0 when the file is no PE file.
uint16_t PeMachine(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char dos[64] = {};
    if (!file.read(dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return 0;
    uint32_t peOffset = 0;
    for (int i = 3; i >= 0; --i)
        peOffset = peOffset << 8 | static_cast<unsigned char>(dos[0x3C + i]);
    char header[6] = {};
    if (!file.seekg(peOffset) || !file.read(header, sizeof header) || header[0] != 'P' ||
        header[1] != 'E' || header[2] != 0 || header[3] != 0)
        return 0;
    return static_cast<uint16_t>(static_cast<unsigned char>(header[4]) |
                                 static_cast<unsigned char>(header[5]) << 8);
}

uint16_t OwnMachine() {
    return sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
}

// Why LoadLibrary refused fileName. The system's error alone does not tell it: a library of the
// other bitness reads as "bad format" on Windows but as "not found" where the loader skips it
// and searches on, and "not found" also means that a library it needs is missing. So the file
// is looked up along the search path and its header read.
std::string LoadFailureReason(const std::string& fileName, DWORD error) {
    char found[MAX_PATH * 2];
    const DWORD length =
        SearchPathA(nullptr, fileName.c_str(), nullptr, sizeof found, found, nullptr);
    if (length == 0 || length >= sizeof found)
        return error == ERROR_MOD_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ||
                       error == ERROR_PATH_NOT_FOUND || length >= sizeof found
                   ? kNotFound
                   : "ошибка Windows " + std::to_string(error) + ".";
    const std::string file = found;
    const uint16_t machine = PeMachine(file);
    if (machine == 0) return "файл " + file + " не является библиотекой Windows.";
    if (machine != OwnMachine())
        return "файл " + file + " не является " + std::to_string(sizeof(void*) * 8) +
               "-разрядной библиотекой.";
    if (error == ERROR_MOD_NOT_FOUND)
        return "не найдена одна из библиотек, нужных файлу " + file + ".";
    return "файл " + file + ": ошибка Windows " + std::to_string(error) + ".";
}

} // namespace

void* OpenModule(const std::string& fileName, std::string* whyNot) {
    HMODULE module = LoadLibraryA(fileName.c_str());
    if (!module && whyNot) *whyNot = LoadFailureReason(fileName, GetLastError());
    return module;
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
