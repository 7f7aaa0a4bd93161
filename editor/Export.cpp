#include "editor/Export.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <system_error>

#include "fade/JpegGraphic.h"
#include "fade/PictureLoader.h"
#include "frames/ShowOptions.h"
#include "saver/FolderPictures.h"

namespace velmora {
namespace {

bool IsJpegExtension(const std::string& extension) {
  return extension == ".jpg" || extension == ".jpeg" || extension == ".jpe" || extension == ".jfif";
}

std::string LowerAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  return text;
}

// A name part a file name may hold: no separator, no "." or "..", no
// character Windows refuses.
bool IsPlainNamePart(const std::string& part) {
  if (part.empty() || part == "." || part == "..") return false;
  for (unsigned char c : part)
    if (c < 32 || std::string_view("<>:\"/\\|?*").find(char(c)) != std::string_view::npos) return false;
  return true;
}

// Splits "a\b\c" (either separator) into its parts.
std::vector<std::string> PathParts(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

}  // namespace

PictureSize ExportedSize(int width, int height) {
  if (width <= kExportMaxWidth && height <= kExportMaxHeight) return {width, height};
  const std::uint64_t w = std::uint64_t(width);
  const std::uint64_t h = std::uint64_t(height);
  if (w * kExportMaxHeight >= h * kExportMaxWidth) {
    const int fittedHeight = int((h * kExportMaxWidth * 2 + w) / (2 * w));
    return {kExportMaxWidth, std::max(1, fittedHeight)};
  }
  const int fittedWidth = int((w * kExportMaxHeight * 2 + h) / (2 * h));
  return {std::max(1, fittedWidth), kExportMaxHeight};
}

std::vector<std::uint8_t> ExportedPicture(const std::string& path, bool& fitted) {
  fitted = false;
  std::vector<std::uint8_t> bytes = ReadPictureFile(path);
  std::shared_ptr<const Graphic> graphic;
  if (IsJpegExtension(PictureExtension(path))) {
    // The header alone says whether the picture must be fitted.
    const std::optional<PictureSize> stored = ReadJpegFrameSize(bytes.data(), bytes.size());
    if (!stored) throw EPictureError(path + ": not a JPEG picture this program reads");
    const PictureSize upright = OrientedSize(ReadExif(bytes).orientation, stored->width, stored->height);
    if (ExportedSize(upright.width, upright.height) == upright) return bytes;
    graphic = JpegGraphic::FromBytes(std::move(bytes), path);
  } else {
    graphic = LoadGraphic(path);
    if (graphic->Kind() != GraphicKind::Raster) return bytes;
    const PictureSize size{graphic->Width(), graphic->Height()};
    if (ExportedSize(size.width, size.height) == size) return bytes;
  }
  const PictureSize size = ExportedSize(graphic->Width(), graphic->Height());
  MemoryImage24 image(size.width, size.height);
  graphic->StretchDraw(image, Rect{0, 0, size.width, size.height});
  fitted = true;
  return EncodeJpeg(image, kExportJpegQuality);
}

std::string CarriedName(const std::string& source, bool fitted, std::set<std::string>& used) {
  std::vector<std::string> parts = PathParts(source);
  std::string file = parts.back();
  std::string folder = parts.size() >= 2 ? parts[parts.size() - 2] : "";
  if (!IsPlainNamePart(folder)) folder = "pictures";
  if (!IsPlainNamePart(file)) file = "picture";
  const std::string extension = PictureExtension(file);
  std::string stem = file.substr(0, file.size() - extension.size());
  std::string ending = file.substr(stem.size());  // as written
  if (fitted && !IsJpegExtension(extension)) ending = ".jpg";
  if (stem.empty()) stem = "picture";

  // At most 200 bytes with room for " (nnnnnnn)": the folder first gives way,
  // then the file's stem.
  constexpr std::size_t kRoom = MaxFramePathLength - 10;
  const std::size_t fixed = kCarriedPathPrefix.size() + 1 + ending.size();
  if (fixed + folder.size() + stem.size() > kRoom) folder.resize(std::min<std::size_t>(folder.size(), 40));
  if (fixed + folder.size() + stem.size() > kRoom) stem.resize(kRoom - fixed - folder.size());

  const std::string base = std::string(kCarriedPathPrefix) + folder + "\\" + stem;
  std::string name = base + ending;
  for (int n = 2; used.count(LowerAscii(name)); ++n) name = base + " (" + std::to_string(n) + ")" + ending;
  used.insert(LowerAscii(name));
  return name;
}

FrameList ExpandFolderFrames(const FrameList& list, const std::atomic<bool>* cancel) {
  FrameList expanded;
  if (list.Count() == 0) return expanded;
  expanded.Append(std::make_unique<FrameRecord>(list[0]));
  for (std::size_t i = 1; i + 1 < list.Count(); ++i) {
    const FrameRecord& frame = list[i];
    if (IsFolderFrame(frame)) {
      std::vector<std::string> pictures;
      const bool listed = ForEachFolderPicture(
          frame.Path(), FolderIncludesSubfolders(frame),
          [&pictures](const std::string& path) {
            if (path.size() <= MaxFramePathLength) pictures.push_back(path);
            return true;
          },
          cancel);
      if (listed) {
        for (const std::string& path : pictures) {
          auto picture = std::make_unique<FrameRecord>(frame);
          picture->SetPath(path);
          SetFolderFrame(*picture, false);
          expanded.Append(std::move(picture));
        }
        continue;
      }
    }
    expanded.Append(std::make_unique<FrameRecord>(frame));
  }
  AppendFrameRecord(expanded);
  return expanded;
}

bool WriteShowPackage(const FrameList& list, PackageSink& sink, std::uint64_t start, const ExportProgress& progress,
                      ExportResult& result) {
  FrameList frames = ExpandFolderFrames(list);
  // Each picture once, in the order the show first plays it.
  std::vector<std::string> sources;
  std::map<std::string, std::vector<std::size_t>> framesOf;
  for (std::size_t i = 1; i + 1 < frames.Count(); ++i) {
    const FrameRecord& frame = frames[i];
    if (frame.Kind() != FrameKind::Picture || IsFolderFrame(frame)) continue;
    auto& indexes = framesOf[frame.Path()];
    if (indexes.empty()) sources.push_back(frame.Path());
    indexes.push_back(i);
  }

  PackageWriter writer(sink, start);
  std::set<std::string> used;
  const int total = int(sources.size());
  for (int k = 0; k < total; ++k) {
    if (progress && !progress(k, total)) {
      result.outcome = ExportResult::Outcome::Cancelled;
      return false;
    }
    const std::string& source = sources[std::size_t(k)];
    bool fitted = false;
    std::vector<std::uint8_t> bytes;
    try {
      bytes = ExportedPicture(source, fitted);
    } catch (const EPictureError&) {
      result.missing.push_back(source);
      continue;
    }
    const std::string name = CarriedName(source, fitted, used);
    if (!writer.AddPicture(name, bytes)) {
      result.error = "writing the file failed";
      return false;
    }
    for (std::size_t index : framesOf[source]) frames[index].SetPath(name);
    ++result.pictures;
    if (fitted) ++result.fitted;
  }
  if (progress && !progress(total, total)) {
    result.outcome = ExportResult::Outcome::Cancelled;
    return false;
  }
  if (!writer.AddRecords(RecordsOfFrameList(frames)) || !writer.Finish()) {
    result.error = "writing the file failed";
    return false;
  }
  result.fileSize = start + writer.Written();
  return true;
}

ExportResult ExportSaverFile(const std::filesystem::path& program, const std::filesystem::path& target,
                             const FrameList& list, const ExportProgress& progress) {
  ExportResult result;
  std::shared_ptr<const DiskPackageFile> programFile = DiskPackageFile::Open(program);
  if (!programFile) {
    result.error = "the program's own file cannot be read";
    return result;
  }
  // A saver that carries a show passes on its program image alone.
  std::uint64_t imageSize = programFile->Size();
  PackageProblem problem = PackageProblem::None;
  if (auto own = ShowPackage::Open(programFile, problem))
    imageSize = own->Start();
  else if (problem != PackageProblem::NoPackage) {
    result.error = std::string("the program's own file is damaged: ") + PackageProblemText(problem);
    return result;
  }

  std::filesystem::path temp = target;
  temp += ".export-tmp";
  UniqueFile out = OpenFile(temp, "wb");
  if (!out) {
    result.error = "the file cannot be created";
    return result;
  }
  auto failed = [&](const std::string& error) {
    out.reset();
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    if (result.outcome != ExportResult::Outcome::Cancelled) {
      result.outcome = ExportResult::Outcome::Failed;
      result.error = error;
    }
    return result;
  };

  std::vector<std::uint8_t> chunk(1 << 20);
  for (std::uint64_t at = 0; at < imageSize;) {
    const std::size_t n = std::size_t(std::min<std::uint64_t>(chunk.size(), imageSize - at));
    if (!programFile->ReadAt(at, chunk.data(), n)) return failed("the program's own file cannot be read");
    if (std::fwrite(chunk.data(), 1, n, out.get()) != n) return failed("writing the file failed");
    at += n;
  }
  FilePackageSink sink(out.get());
  if (!WriteShowPackage(list, sink, imageSize, progress, result))
    return failed(result.error.empty() ? "writing the file failed" : result.error);
  if (std::fflush(out.get()) != 0 || std::fclose(out.release()) != 0) return failed("writing the file failed");

  std::error_code error;
  std::filesystem::rename(temp, target, error);
  if (error && std::filesystem::exists(target)) {
    // Some systems' rename does not replace: the old file goes first.
    std::filesystem::remove(target, error);
    if (!error) std::filesystem::rename(temp, target, error);
  }
  if (error) return failed("the finished file could not be given its name (" + error.message() + ")");
  result.outcome = ExportResult::Outcome::Done;
  return result;
}

std::string TakeOutFolder(const std::string& base, const std::string& showName) {
  std::string name;
  for (unsigned char c : showName)
    name += (c < 32 || std::string_view("<>:\"/\\|?*").find(char(c)) != std::string_view::npos) ? '_' : char(c);
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  if (name.empty()) name = "Show";
  std::string folder = base;
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + name;
}

bool TakeOutShow(const ShowPackage& package, const std::string& folder, const NarrowPathOf& pathOf,
                 std::vector<std::uint8_t>& records) {
  std::error_code error;
  std::filesystem::create_directories(pathOf(folder), error);
  if (error) return false;

  FrameList list = FrameListFromRecords(package.RecordBytes());
  std::map<std::string, std::string, std::less<>> placed;  // carried name -> file written
  int number = 0;
  for (const PackageEntry& entry : package.Entries()) {
    if (entry.kind != PackageEntryKind::Picture) continue;
    ++number;
    // The carried name's parts below the prefix, when every one is a plain
    // name; else a numbered file in the folder itself (a damaged or foreign
    // name never reaches outside the folder).
    std::string relative;
    if (entry.name.starts_with(kCarriedPathPrefix)) {
      const std::vector<std::string> parts = PathParts(entry.name.substr(kCarriedPathPrefix.size()));
      bool plain = parts.size() <= 2;
      for (const std::string& part : parts) plain = plain && IsPlainNamePart(part);
      if (plain) relative = parts.size() == 2 ? parts[0] + "\\" + parts[1] : parts[0];
    }
    std::string file = folder + "\\" + relative;
    if (relative.empty() || file.size() > MaxFramePathLength) {
      std::string extension = PictureExtension(entry.name);
      if (!IsPlainNamePart("x" + extension) || extension.size() > 8) extension = "";
      file = folder + "\\" + std::to_string(number) + extension;
      if (file.size() > MaxFramePathLength) continue;
    }
    std::vector<std::uint8_t> data;
    if (!package.Read(entry, data)) continue;
    const std::filesystem::path path = pathOf(file);
    std::filesystem::create_directories(path.parent_path(), error);
    UniqueFile out = OpenFile(path, "wb");
    if (!out) continue;
    const bool written = data.empty() || std::fwrite(data.data(), 1, data.size(), out.get()) == data.size();
    if (std::fclose(out.release()) != 0 || !written) {
      std::filesystem::remove(path, error);
      continue;
    }
    placed.emplace(entry.name, file);
  }
  for (std::size_t i = 1; i + 1 < list.Count(); ++i) {
    const auto it = placed.find(list[i].Path());
    if (it != placed.end()) list[i].SetPath(it->second);
  }
  records = RecordsOfFrameList(list);
  return true;
}

}  // namespace velmora
