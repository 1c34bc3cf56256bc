// Feeds arbitrary answers to the user-names reader: it must never read past the buffer, and
// every name it returns must be exactly the bytes of a complete item at its place.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "attached_users.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* buffer = reinterpret_cast<const char*>(data);
    size_t at = 0;
    for (const std::string& name : xqv::ReadUserNames(buffer, size)) {
        if (size - at < 4 + name.size() || data[at] != 53 || data[at + 3] != name.size() ||
            std::memcmp(buffer + at + 4, name.data(), name.size()) != 0)
            __builtin_trap();
        at += 4 + name.size();
    }
    return 0;
}
