#include <windows.h>
#include "test_place.h"

namespace dbtest {

std::string FreshDatabasePath(const std::string& fileName) {
    CreateDirectoryA("C:\\xqvtest", nullptr);
    CreateDirectoryA("C:\\xqvtest\\database", nullptr);
    const std::string path = "C:\\xqvtest\\database\\" + fileName;
    DeleteFileA(path.c_str());
    return path;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const char* OtherSystemLibrary() {
    return "kernel32.dll";
}

} // namespace dbtest
