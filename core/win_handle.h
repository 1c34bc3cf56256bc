// Owners of Win32 handles: each closes its handle when it goes, so every path out of a routine
// releases what the routine opened. Win32 code only.
#pragma once

#include <windows.h>
#include <winsvc.h>

namespace xqv {

// A kernel object handle (file, process, thread, token, snapshot).
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

// A handle of the service control manager or of one service.
class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ~ServiceHandle() {
        if (handle_) CloseServiceHandle(handle_);
    }
    explicit operator bool() const { return handle_ != nullptr; }
    SC_HANDLE get() const { return handle_; }

private:
    SC_HANDLE handle_;
};

} // namespace xqv
