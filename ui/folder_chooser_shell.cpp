#include "folder_chooser_shell.h"

#include <cstring>

namespace xqv::shell {

namespace {

const SHITEMID* NextItem(const SHITEMID* item) {
    return reinterpret_cast<const SHITEMID*>(reinterpret_cast<const BYTE*>(item) + item->cb);
}

} // namespace

int PidlDepth(const ITEMIDLIST* pidl) {
    int depth = 0;
    if (!pidl) return 0;
    for (const SHITEMID* item = &pidl->mkid; item->cb != 0; item = NextItem(item))
        ++depth;
    return depth;
}

Pidl PidlPrefix(const ITEMIDLIST* pidl, int count) {
    size_t size = 0;
    const SHITEMID* item = &pidl->mkid;
    for (int i = 0; i < count && item->cb != 0; ++i, item = NextItem(item))
        size += item->cb;
    // The list ends with a zero 16-bit length.
    auto* copy = static_cast<BYTE*>(CoTaskMemAlloc(size + sizeof(USHORT)));
    if (!copy) return nullptr;
    std::memcpy(copy, pidl, size);
    std::memset(copy + size, 0, sizeof(USHORT));
    return Pidl(reinterpret_cast<ITEMIDLIST*>(copy));
}

std::wstring DisplayName(IShellFolder* folder, const ITEMIDLIST* item, DWORD flags) {
    STRRET name = {};
    if (FAILED(folder->GetDisplayNameOf(item, flags, &name))) return L"";
    switch (name.uType) {
    case STRRET_WSTR: {
        std::wstring text = name.pOleStr ? name.pOleStr : L"";
        CoTaskMemFree(name.pOleStr);
        return text;
    }
    case STRRET_OFFSET:
        return WideText(reinterpret_cast<const char*>(item) + name.uOffset);
    case STRRET_CSTR:
        return WideText(name.cStr);
    }
    return L"";
}

std::string AnsiText(const std::wstring& text) {
    if (text.empty()) return "";
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::wstring WideText(const std::string& text) {
    if (text.empty()) return L"";
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

} // namespace xqv::shell
