// The reading of user-name answers and the comparison of names. Kept free of the client
// library so the fuzzer can build it alone.
#include "attached_users.h"

#include <algorithm>
#include <ibase.h>

namespace xqv {

namespace {

// Upper case of one Windows-1251 byte: Latin a-z, Cyrillic а-я and ё.
unsigned char UpperCp1251(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0) return static_cast<unsigned char>(c - 32);
    if (c == 0xB8) return 0xA8;
    return c;
}

} // namespace

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperCp1251(static_cast<unsigned char>(x)) ==
                      UpperCp1251(static_cast<unsigned char>(y));
           });
}

std::vector<std::string> ReadUserNames(const char* buffer, std::size_t size) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < size && static_cast<unsigned char>(buffer[at]) == isc_info_user_names) {
        if (size - at < 4) break; // no room for the name length byte
        const std::size_t length = static_cast<unsigned char>(buffer[at + 3]);
        if (size - at - 4 < length) break; // the name would run past the buffer
        names.emplace_back(buffer + at + 4, length);
        at += 4 + length;
    }
    return names;
}

} // namespace xqv
