// Thumbnails of the editor's strip: each picture frame is decoded and scaled
// once, when it is loaded, added or given a new picture, into a small bitmap
// of at most 111 x 111 pixels; the strip then draws that bitmap instead of
// decoding the picture again on every scroll step.
//
// The thumbnail of thumbnail number n is the file "Velm$" + n + ".bmp" in the
// store's folder (a 24-bit bottom-up BMP). When the folder cannot be written
// the store keeps the small bitmap in memory instead, so the strip still
// shows it; a full-size picture is never kept.
//
// JPEG photos take a fast road: the small picture a camera embeds in the file
// when it is large enough and shows the whole picture, otherwise a decode
// reduced by the decoder's largest N/8 factor that keeps at least 111 pixels
// on the long side, then resampled. Other pictures load whole and are drawn
// scaled.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "editor/ThumbnailRules.h"
#include "fade/Graphics.h"

namespace velmora {

struct ThumbnailSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const ThumbnailSize&, const ThumbnailSize&) = default;
};

// The thumbnail size of a width x height picture: the longer side (width when
// the two are equal) is `side` (111 at 100 % display scale), the other
// side * short / long rounded to the nearest integer, halves to the even
// neighbour, and never below 1. nullopt for a picture without pixels.
std::optional<ThumbnailSize> FitThumbnail(int width, int height, int side = kThumbnailSide);

// How a thumbnail was made.
enum class ThumbnailRoute {
  EmbeddedPicture,  // from the small picture embedded in a JPEG photo
  ReducedDecode,    // from a JPEG decoded at a reduced scale
  WholePicture,     // from the picture loaded whole and drawn scaled
};

// The thumbnail image of the picture file at path (8-bit path, system code
// page), of FitThumbnail's size, turned upright as the show draws it. Throws
// EPictureError when the picture cannot be read or decoded, or has no
// pixels. Safe to call on several threads at once.
// `side` is FitThumbnail's.
MemoryImage24 RenderThumbnail(const std::string& path, ThumbnailRoute* route = nullptr, int side = kThumbnailSide);
// The same for JPEG data in memory; name is used in error messages.
MemoryImage24 RenderJpegThumbnail(std::vector<std::uint8_t> bytes, const std::string& name,
                                  ThumbnailRoute* route = nullptr, int side = kThumbnailSide);

// One picture of a batch: its path and the thumbnail number it gets.
struct ThumbnailJob {
  std::string path;
  std::int32_t number = 0;
  // path is a folder frame's folder: the thumbnail is its first picture's.
  bool folder = false;
  bool includeSubfolders = true;
};

// Called on the thread that runs MakeMany when pictures have finished and at
// least every 50 ms while pictures are being made (so a window can pump its
// messages and show progress there), and once at the end: done of total.
using ThumbnailProgress = std::function<void(std::size_t done, std::size_t total)>;

class ThumbnailStore {
 public:
  // Thumbnails go to files in folder, which should exist; when it cannot be
  // written they are kept in memory. An empty folder keeps them all in memory.
  explicit ThumbnailStore(std::filesystem::path folder);
  ThumbnailStore(const ThumbnailStore&) = delete;
  ThumbnailStore& operator=(const ThumbnailStore&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }
  // The long side of the thumbnails made from now on (kThumbnailSide until
  // set; the strip's picture side at the window's display scale).
  void SetSide(int side) { side_.store(side > 0 ? side : kThumbnailSide); }
  int Side() const { return side_.load(); }
  // folder / ("Velm$" + n + ".bmp").
  std::filesystem::path FileName(std::int32_t n) const;

  // MakeThumbnail: makes the thumbnail of the picture at path under number n.
  // A file of that name is deleted first. True when the thumbnail was made
  // (in a file, or in memory when the file cannot be written); false when
  // the picture cannot be read (no thumbnail n exists then). Never throws.
  bool Make(const std::string& path, std::int32_t n);

  // Makes the thumbnails of many pictures on all processors. Jobs are taken
  // in order; cancel (may be null) is checked before each picture is begun,
  // so setting it stops the batch after the pictures being made. Returns one
  // result per job tried, in the jobs' order (as Make returns it): fewer than
  // jobs.size() when cancelled, and the results then belong to the first jobs.
  // threads 0: one per processor.
  std::vector<bool> MakeMany(const std::vector<ThumbnailJob>& jobs, const ThumbnailProgress& progress = {},
                             const std::atomic<bool>* cancel = nullptr, unsigned threads = 0);

  // Thumbnail n: read from its file, or the copy kept in memory; nullptr when
  // there is none or the file cannot be read.
  std::shared_ptr<const MemoryImage24> Load(std::int32_t n) const;
  // True when thumbnail n is kept in memory because its file could not be written.
  bool InMemory(std::int32_t n) const;

  // Deletes thumbnail n: its file and the copy kept in memory. Never throws.
  void Delete(std::int32_t n);
  // Deletes thumbnails 1 .. below-1: their files (those that exist) and the
  // copies kept in memory. Called when the main window closes.
  void DeleteAll(std::int32_t below);

 private:
  void Keep(std::int32_t n, MemoryImage24 image);

  std::filesystem::path folder_;
  std::atomic<int> side_{kThumbnailSide};
  mutable std::mutex memoryMutex_;
  std::map<std::int32_t, std::shared_ptr<const MemoryImage24>> inMemory_;
};

}  // namespace velmora
