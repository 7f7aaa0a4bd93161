// Writing a 24-bit image as a Windows bitmap file.
#pragma once

#include <string>

#include "fade/Graphics.h"

namespace velmora::render {

// Writes image to path as an uncompressed 24-bit bottom-up bitmap
// (BITMAPFILEHEADER, BITMAPINFOHEADER, rows padded to 4 bytes, blue green
// red). Returns false and sets error when the file cannot be written.
bool WriteBmp24(const std::string& path, const Image24& image, std::string& error);

}  // namespace velmora::render
