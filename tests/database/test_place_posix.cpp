#include <sys/stat.h>
#include <unistd.h>
#include "test_env.h"
#include "test_place.h"

namespace dbtest {

std::string FreshDatabasePath(const std::string& fileName) {
    const std::string folder = testenv::Dir() + "/database";
    mkdir(folder.c_str(), 0777);
    const std::string path = folder + "/" + fileName;
    unlink(path.c_str());
    return path;
}

bool FileExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

const char* OtherSystemLibrary() {
    return "libc.so.6";
}

} // namespace dbtest
