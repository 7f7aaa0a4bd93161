#include "fade/PictureLoader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "fade/BmpGraphic.h"
#include "fade/HeifGraphic.h"
#include "fade/JpegGraphic.h"

namespace velmora {
namespace {

std::shared_ptr<const Graphic> OpenJpeg(const std::string& path) { return JpegGraphic::FromFile(path); }
std::shared_ptr<const Graphic> OpenBmp(const std::string& path) { return BmpGraphic::FromFile(path); }
std::shared_ptr<const Graphic> OpenHeif(const std::string& path) { return HeifGraphic::FromFile(path); }

std::map<std::string, GraphicOpener>& Openers() {
  static std::map<std::string, GraphicOpener> openers = {
      {".jpg", &OpenJpeg}, {".jpeg", &OpenJpeg}, {".jpe", &OpenJpeg},
      {".jfif", &OpenJpeg}, {".bmp", &OpenBmp}, {".dib", &OpenBmp},
      {".heic", &OpenHeif}, {".heif", &OpenHeif},
  };
  return openers;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return out;
}

// The cancel flag of the current PictureReadCancelScope on this thread.
thread_local const std::atomic<bool>* readCancel = nullptr;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

std::mutex sourceMutex;
std::shared_ptr<const PictureSource> pictureSource;

std::shared_ptr<const PictureSource> CurrentPictureSource() {
  std::lock_guard<std::mutex> lock(sourceMutex);
  return pictureSource;
}

}  // namespace

void SetPictureSource(std::shared_ptr<const PictureSource> source) {
  std::lock_guard<std::mutex> lock(sourceMutex);
  pictureSource = std::move(source);
}

void RegisterGraphicOpener(std::string_view extension, GraphicOpener opener) {
  std::string key = Lower(extension);
  if (key.empty() || key[0] != '.') key.insert(key.begin(), '.');
  if (opener)
    Openers()[key] = opener;
  else
    Openers().erase(key);
}

std::string PictureExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\:");
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(std::string_view(path).substr(dot));
}

bool IsPictureFileName(const std::string& path) { return Openers().count(PictureExtension(path)) != 0; }

std::shared_ptr<const Graphic> LoadGraphic(const std::string& path) {
  const std::string extension = PictureExtension(path);
  const auto it = Openers().find(extension);
  if (it == Openers().end())
    throw EPictureError(path + ": not a picture file this program reads" +
                        (extension.empty() ? std::string(" (no extension)") : " (" + extension + ")"));
  try {
    return it->second(path);
  } catch (const EPictureError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw EPictureError(path + ": not enough memory to load the picture");
  }
}

std::vector<std::uint8_t> ReadPictureFile(const std::string& path) {
  if (const auto source = CurrentPictureSource(); source && source->Holds(path)) return source->Read(path);
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw EPictureError(path + ": cannot open the file (" + std::strerror(errno) + ")");
  std::vector<std::uint8_t> bytes;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) {
    const long length = std::ftell(file.get());
    if (length > 0 && std::uint64_t(length) <= kMaxPictureFileBytes) bytes.reserve(std::size_t(length));
    std::rewind(file.get());
  }
  std::uint8_t chunk[65536];
  for (;;) {
    if (readCancel && readCancel->load(std::memory_order_relaxed))
      throw EPictureError(path + ": reading cancelled");
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    if (got == 0) break;
    if (bytes.size() + got > kMaxPictureFileBytes) throw EPictureError(path + ": the file is too large");
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  if (std::ferror(file.get())) throw EPictureError(path + ": cannot read the file");
  return bytes;
}

PictureReadCancelScope::PictureReadCancelScope(const std::atomic<bool>& flag) : previous_(readCancel) {
  readCancel = &flag;
}

PictureReadCancelScope::~PictureReadCancelScope() { readCancel = previous_; }

}  // namespace velmora
