#include "Bmp.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace velmora::render {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool WriteBmp24(const std::string& path, const Image24& image, std::string& error) {
  const std::uint32_t stride = std::uint32_t(image.Stride());
  const std::uint32_t height = std::uint32_t(image.Height());
  const std::uint32_t imageBytes = stride * height;
  std::vector<std::uint8_t> header;
  header.reserve(54);
  // BITMAPFILEHEADER
  Put16(header, 0x4D42);  // "BM"
  Put32(header, 54 + imageBytes);
  Put32(header, 0);
  Put32(header, 54);
  // BITMAPINFOHEADER: positive height = bottom-up rows.
  Put32(header, 40);
  Put32(header, std::uint32_t(image.Width()));
  Put32(header, height);
  Put16(header, 1);   // planes
  Put16(header, 24);  // bits per pixel
  Put32(header, 0);   // BI_RGB
  Put32(header, imageBytes);
  Put32(header, 2835);  // 72 dpi
  Put32(header, 2835);
  Put32(header, 0);
  Put32(header, 0);

  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(header.data(), 1, header.size(), file.get()) == header.size();
  for (int y = image.Height() - 1; ok && y >= 0; --y)
    ok = std::fwrite(image.Row(y), 1, stride, file.get()) == stride;
  if (std::fclose(file.release()) != 0) ok = false;
  if (!ok) error = "cannot write " + path;
  return ok;
}

}  // namespace velmora::render
