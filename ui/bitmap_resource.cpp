#include "bitmap_resource.h"

namespace xqv {

HBITMAP LoadBitmapResource(const char* name) {
    HRSRC info = FindResourceA(nullptr, name, "IMAGES");
    if (!info) return nullptr;
    HGLOBAL data = LoadResource(nullptr, info);
    const DWORD size = SizeofResource(nullptr, info);
    const auto* bytes = static_cast<const BYTE*>(data ? LockResource(data) : nullptr);
    if (!bytes || size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return nullptr;
    const auto* file = reinterpret_cast<const BITMAPFILEHEADER*>(bytes);
    if (file->bfType != 0x4d42 || file->bfOffBits >= size) return nullptr;
    const auto* header = reinterpret_cast<const BITMAPINFO*>(bytes + sizeof(BITMAPFILEHEADER));
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &header->bmiHeader, CBM_INIT, bytes + file->bfOffBits,
                                    header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

} // namespace xqv
