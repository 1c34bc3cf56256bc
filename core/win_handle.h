// The owner of a Win32 kernel object handle (file, process, thread, token, snapshot): it closes
// the handle when it goes, on every path. Win32 code only.
#pragma once

#include <windows.h>

namespace xqv {

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }

    // Null and INVALID_HANDLE_VALUE both mean that there is none.
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

    // Closes now; true when the close succeeded (for a file: its last write reached the disk).
    bool Close() {
        if (!valid()) return true;
        const HANDLE handle = handle_;
        handle_ = nullptr;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

} // namespace xqv
