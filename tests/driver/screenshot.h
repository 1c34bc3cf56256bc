// Saves what the screen shows as an uncompressed 24-bit BMP file.
#pragma once

#include <string>

bool SaveScreenshot(const std::string& path);
