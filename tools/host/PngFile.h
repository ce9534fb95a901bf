// Writes RGB pictures as PNG files (libpng).
#pragma once

#include <string>

#include "tools/host/Image.h"

namespace host {

// Writes an 8-bit RGB PNG. False (and `error` set) on failure.
bool WritePng(const std::string& path, const RgbImage& image, std::string* error);

}  // namespace host
