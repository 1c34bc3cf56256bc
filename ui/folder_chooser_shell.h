// Small owners and helpers over the shell namespace for the folder tree: item identifier lists
// (PIDLs) and COM interfaces released on every path, display names as Windows-1251 text.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <memory>
#include <string>

namespace xqv::shell {

struct PidlFree {
    void operator()(ITEMIDLIST* pidl) const { ILFree(pidl); }
};
// An item identifier list allocated by the shell, freed with it.
using Pidl = std::unique_ptr<ITEMIDLIST, PidlFree>;

// One reference to a COM interface, released when the owner goes.
template <typename T> class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { Reset(); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For the calls that hand out a new reference through an out argument.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// Number of items in the list (0 for the desktop's empty list).
int PidlDepth(const ITEMIDLIST* pidl);
// A copy of the first `count` items of the list; null when the shell allocator fails.
Pidl PidlPrefix(const ITEMIDLIST* pidl, int count);

// The item's name as the folder gives it (flags SHGDN_*); empty when the shell gives none.
std::wstring DisplayName(IShellFolder* folder, const ITEMIDLIST* item, DWORD flags);

// Conversions between the system's Windows-1251 text and the shell's UTF-16 text.
std::string AnsiText(const std::wstring& text);
std::wstring WideText(const std::string& text);

} // namespace xqv::shell
