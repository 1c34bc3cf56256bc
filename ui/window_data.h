// Small helpers shared by the product's own window classes.
#pragma once

#include <windows.h>

namespace xqv {

// The object a window was created for (the last argument of CreateWindowEx), kept with the
// window from WM_NCCREATE on; nullptr before that.
template <typename T> T* WindowData(HWND hwnd, UINT msg, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* created = static_cast<T*>(reinterpret_cast<const CREATESTRUCTA*>(lp)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        return created;
    }
    return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// Resizes the window so that its client area is exactly width x height: a menu bar that wraps
// or a frame drawn otherwise than computed changes the client area.
inline void FitClientArea(HWND hwnd, int width, int height) {
    RECT client, frame;
    GetClientRect(hwnd, &client);
    if (client.right == width && client.bottom == height) return;
    GetWindowRect(hwnd, &frame);
    SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left + width - client.right,
                 frame.bottom - frame.top + height - client.bottom, SWP_NOMOVE | SWP_NOZORDER);
}

} // namespace xqv
