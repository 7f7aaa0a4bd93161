// Exporting a show as one self-contained saver: the program's image followed
// by a package (frames/ShowPackage.h) holding the show's records and every
// picture it plays; and taking such a show out again for the editor.
//
// What is stored:
//   - colour frames and the header record as they are (the show's options
//     travel in the header record);
//   - a picture frame with its path replaced by the picture's name in the
//     package, "<package>\FOLDER\FILE" ('<' and '>' never occur in a
//     Windows path, so the name cannot be a file of the PC it plays on);
//   - a folder frame as one picture frame per picture the folder holds at
//     export time, in the folder's order, each with the folder frame's
//     settings and the folder mark cleared;
//   - each picture once however many frames name it: byte for byte, or,
//     when it is a raster picture larger than 3840 x 2160, turned upright,
//     fitted down to that and encoded as JPEG.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fade/Exif.h"
#include "frames/FrameList.h"
#include "frames/ShowPackage.h"

namespace velmora {

inline constexpr int kExportMaxWidth = 3840;
inline constexpr int kExportMaxHeight = 2160;
inline constexpr int kExportJpegQuality = 90;
inline constexpr std::string_view kCarriedPathPrefix = "<package>\\";

// The size a width x height picture is stored at: itself when it fits in
// 3840 x 2160; else the largest size of the same proportions that fits,
// each side rounded to the nearest pixel and at least 1.
PictureSize ExportedSize(int width, int height);

// The bytes stored for the picture at path: the file as it is, or the
// fitted JPEG (then fitted is true). Throws EPictureError.
std::vector<std::uint8_t> ExportedPicture(const std::string& path, bool& fitted);

// The name in the package for a picture from `source` (an 8-bit path):
// the prefix, the folder's name, the file's name (ending ".jpg" when the
// picture was fitted from another kind), at most 200 bytes, made unique
// among `used` with " (2)", " (3)" ... before the extension; added to used.
std::string CarriedName(const std::string& source, bool fitted, std::set<std::string>& used);

// The frames an export stores, with the pictures still named by their
// paths on this PC (folder frames replaced by their pictures).
FrameList ExpandFolderFrames(const FrameList& list, const std::atomic<bool>* cancel = nullptr);

// Called after each picture: done of total; returning false cancels.
using ExportProgress = std::function<bool(int done, int total)>;

struct ExportResult {
  enum class Outcome { Done, Cancelled, Failed } outcome = Outcome::Failed;
  std::string error;         // when Failed
  std::uint64_t fileSize = 0;
  int pictures = 0;          // stored
  int fitted = 0;            // of them fitted down
  std::vector<std::string> missing;  // pictures that could not be read (their frames play black)
};

// Writes the package of list (folder frames expanded) into sink after
// `start` bytes. Fills result's counts; false when cancelled or a write failed.
bool WriteShowPackage(const FrameList& list, PackageSink& sink, std::uint64_t start, const ExportProgress& progress,
                      ExportResult& result);

// Writes the whole saver: the program image of `program` (without a package
// it may itself carry), then the package, to a temporary file beside target
// that replaces target when complete; nothing is left behind otherwise.
ExportResult ExportSaverFile(const std::filesystem::path& program, const std::filesystem::path& target,
                             const FrameList& list, const ExportProgress& progress);

// Turns an 8-bit path (system code page) into a file-system path.
using NarrowPathOf = std::function<std::filesystem::path(const std::string&)>;

// Takes the pictures of a package out into folder (an 8-bit path, created
// when missing) and returns the show's records with each carried picture's
// path replaced by the file written. A picture that cannot be read or
// written keeps its carried name (the frame shows black). False when the
// folder cannot be made.
bool TakeOutShow(const ShowPackage& package, const std::string& folder, const NarrowPathOf& pathOf,
                 std::vector<std::uint8_t>& records);

// The folder a show's pictures are taken out to: base + "\" + the show's
// name with characters a file name cannot hold replaced by "_" (the name
// "Show" when nothing is left).
std::string TakeOutFolder(const std::string& base, const std::string& showName);

}  // namespace velmora
