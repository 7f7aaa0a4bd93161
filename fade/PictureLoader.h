// Loading of picture files by their extension.
//
// JPEG (.jpg .jpeg .jpe .jfif), bitmaps (.bmp .dib) and HEIC/HEIF (.heic
// .heif) load everywhere; the Win32 layer registers further kinds (enhanced
// metafiles, metafiles, icons, and PNG, GIF, TIFF, WebP and JPEG XR through
// the Windows imaging component) at start-up through RegisterGraphicOpener,
// never in place of a kind loaded here.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fade/Graphics.h"

namespace velmora {

// A picture file that cannot be read or decoded. The message names the file
// (when there is one) and says what is wrong with it.
class EPictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The largest picture, in pixels, any loader accepts.
constexpr std::uint64_t kMaxPicturePixels = 200'000'000;
// The largest picture file read into memory.
constexpr std::uint64_t kMaxPictureFileBytes = 1ull << 30;

// Opens a picture file of one kind; throws EPictureError when it cannot.
using GraphicOpener = std::shared_ptr<const Graphic> (*)(const std::string& path);

// Makes opener responsible for files ending in extension (with its dot,
// any letter case: ".emf"). A later registration replaces an earlier one.
void RegisterGraphicOpener(std::string_view extension, GraphicOpener opener);

// The lower-case extension of path with its dot (".jpg"), or "" if none.
std::string PictureExtension(const std::string& path);

// True when LoadGraphic has an opener for path's extension.
bool IsPictureFileName(const std::string& path);

// Loads the picture at path (an 8-bit path in the system code page), chosen
// by its extension. Throws EPictureError for an unknown extension and for a
// file that cannot be read or decoded; callers show such a frame black.
std::shared_ptr<const Graphic> LoadGraphic(const std::string& path);

// Pictures that are not files of their own (those an exported saver carries
// in its own file): ReadPictureFile asks the source installed first.
class PictureSource {
 public:
  virtual ~PictureSource() = default;
  virtual bool Holds(const std::string& path) const = 0;
  // The picture's bytes; throws EPictureError naming path when they cannot be read.
  virtual std::vector<std::uint8_t> Read(const std::string& path) const = 0;
};
// Installs the source (null removes it); for the whole process.
void SetPictureSource(std::shared_ptr<const PictureSource> source);

// The whole content of a file (or of a picture the source holds); throws EPictureError naming the file when it
// cannot be read or is larger than kMaxPictureFileBytes.
std::vector<std::uint8_t> ReadPictureFile(const std::string& path);

// While a scope lives, ReadPictureFile on its thread gives up with
// EPictureError between chunks of the file once flag is set: a picture
// loaded ahead on a worker thread stops reading when it is no longer wanted.
class PictureReadCancelScope {
 public:
  explicit PictureReadCancelScope(const std::atomic<bool>& flag);
  ~PictureReadCancelScope();
  PictureReadCancelScope(const PictureReadCancelScope&) = delete;
  PictureReadCancelScope& operator=(const PictureReadCancelScope&) = delete;

 private:
  const std::atomic<bool>* previous_;
};

}  // namespace velmora
