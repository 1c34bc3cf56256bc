// Splits a fuzzer's input into fields at zero bytes, so one input gives a target several values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::string> FuzzFields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> fields(count);
    size_t field = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && field + 1 < count) {
            ++field;
            continue;
        }
        fields[field] += static_cast<char>(data[i]);
    }
    return fields;
}

// Reads one item of a parameter buffer at `at`: tag, one length byte, the value. False when the
// buffer ends before the item does.
inline bool ReadShortItem(const std::string& buffer, size_t& at, char& tag, std::string& value) {
    if (buffer.size() - at < 2) return false;
    tag = buffer[at];
    const size_t length = static_cast<unsigned char>(buffer[at + 1]);
    if (buffer.size() - at - 2 < length) return false;
    value = buffer.substr(at + 2, length);
    at += 2 + length;
    return true;
}
