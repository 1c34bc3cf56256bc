// Pictures embedded in the exe as resources of type "IMAGES" (whole 24-bit BMP files).
#pragma once

#include <windows.h>

namespace xqv {

// The picture as a device-dependent bitmap, or nullptr when it is missing or not a BMP.
HBITMAP LoadBitmapResource(const char* name);

} // namespace xqv
