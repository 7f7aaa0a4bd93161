// A show carried in one file with its pictures: the package an exported
// saver holds after the program's own image.
//
//   [program image][head][entry data ...][table][trailer]
//
// head     16 bytes at the package's start: magic "VLM99PKG", version (u32),
//          0 (u32)
// entries  the show's records (one entry, kind 1, named "") and each picture
//          (kind 2, named by the path the records give it), back to back
// table    per entry: kind (u32), name length (u32), offset (u64, from the
//          file's start), length (u64), CRC-32 of the data (u32), 0 (u32),
//          then the name's bytes
// trailer  the last 40 bytes of the file: magic "VLM99PKG", version (u32),
//          entry count (u32), the package's start (u64), the table's offset
//          (u64), CRC-32 of the table (u32), CRC-32 of the trailer's first 36
//          bytes (u32)
//
// Numbers are little-endian. Every offset and length is checked against the
// file before anything is read through it; a picture's checksum is checked
// each time it is read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fade/PictureLoader.h"
#include "frames/FrameList.h"

namespace velmora {

inline constexpr char kPackageMagic[8] = {'V', 'L', 'M', '9', '9', 'P', 'K', 'G'};
inline constexpr std::uint32_t kPackageVersion = 1;
inline constexpr std::size_t kPackageHeadSize = 16;
inline constexpr std::size_t kPackageEntrySize = 32;  // without the name
inline constexpr std::size_t kPackageTrailerSize = 40;
inline constexpr std::uint32_t kMaxPackageEntries = 1'000'000;
inline constexpr std::uint32_t kMaxPackageNameLength = 260;

enum class PackageEntryKind : std::uint32_t { Records = 1, Picture = 2 };

struct PackageEntry {
  PackageEntryKind kind = PackageEntryKind::Picture;
  std::string name;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::uint32_t checksum = 0;
};

// What is wrong with a file read as a package.
enum class PackageProblem {
  None,
  NoPackage,      // no trailer magic at the end: a plain program or another file
  Unreadable,     // the file could not be read
  Version,        // a version this program does not read
  Trailer,        // the trailer's checksum, or its offsets outside the file
  Head,           // no head at the package's start
  Table,          // the table's checksum, size or an entry's fixed fields
  Entry,          // an entry's offset or length outside the package's data
  Records,        // no records entry, more than one, or not whole records
  Checksum,       // an entry's data does not match its checksum
};

// A sentence for the user (English, for the details of a message).
const char* PackageProblemText(PackageProblem problem);

// CRC-32 (the common reflected polynomial 0xEDB88320), continued from crc.
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

// A file read at offsets.
class PackageFile {
 public:
  virtual ~PackageFile() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly size bytes at offset; false when it cannot.
  virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const = 0;
};

// Bytes in memory (tests, the fuzz target).
class MemoryPackageFile final : public PackageFile {
 public:
  explicit MemoryPackageFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override;

 private:
  std::vector<std::uint8_t> bytes_;
};

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens path for reading or writing ("rb", "wb") by its full name (UTF-16 on Windows).
UniqueFile OpenFile(const std::filesystem::path& path, const char* mode);

// A file on disk, open for as long as the object lives; reads from several
// threads take turns.
class DiskPackageFile final : public PackageFile {
 public:
  // Null when the file cannot be opened.
  static std::unique_ptr<DiskPackageFile> Open(const std::filesystem::path& path);
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const override;

 private:
  DiskPackageFile(UniqueFile file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
  mutable std::mutex mutex_;
  UniqueFile file_;
  std::uint64_t size_;
};

class ShowPackage {
 public:
  // Reads and checks the trailer, the head, the table and the records entry.
  // Null with problem set when the file holds no package or a damaged one.
  static std::unique_ptr<ShowPackage> Open(std::shared_ptr<const PackageFile> file, PackageProblem& problem);

  const std::vector<PackageEntry>& Entries() const { return entries_; }
  // The picture entry of that name; null when there is none.
  const PackageEntry* FindPicture(std::string_view name) const;
  // The entry's data; false (and nothing in data) when it cannot be read or
  // does not match its checksum.
  bool Read(const PackageEntry& entry, std::vector<std::uint8_t>& data) const;
  // The show's records, as the frame-set file would hold them.
  const std::vector<std::uint8_t>& RecordBytes() const { return records_; }
  // Where the package begins in its file (the program image's size).
  std::uint64_t Start() const { return start_; }

 private:
  ShowPackage() = default;
  std::shared_ptr<const PackageFile> file_;
  std::vector<PackageEntry> entries_;
  std::map<std::string, std::size_t, std::less<>> pictures_;  // name -> entry
  std::vector<std::uint8_t> records_;
  std::uint64_t start_ = 0;
};

// A frame list (header, frames, fresh trailing entry) from whole records.
FrameList FrameListFromRecords(const std::vector<std::uint8_t>& records);
// The records of a list (entries 0 to count-2) as the frame-set file holds them.
std::vector<std::uint8_t> RecordsOfFrameList(const FrameList& list);

// Where written bytes go.
class PackageSink {
 public:
  virtual ~PackageSink() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
};

class FilePackageSink final : public PackageSink {
 public:
  explicit FilePackageSink(std::FILE* file) : file_(file) {}
  bool Write(const void* data, std::size_t size) override {
    return size == 0 || std::fwrite(data, 1, size, file_) == size;
  }

 private:
  std::FILE* file_;  // not owned
};

class MemoryPackageSink final : public PackageSink {
 public:
  bool Write(const void* data, std::size_t size) override;
  std::vector<std::uint8_t> bytes;
};

// Writes a package after `start` bytes already in the sink: the head at
// once, then each entry's data as it is added (the records may come at any
// time, once), and the table (records first) and trailer at Finish. Every
// call returns false once a write has failed.
class PackageWriter {
 public:
  PackageWriter(PackageSink& sink, std::uint64_t start);
  bool AddRecords(const std::vector<std::uint8_t>& records);
  bool AddPicture(const std::string& name, const std::vector<std::uint8_t>& data);
  bool Finish();
  std::uint64_t Written() const { return offset_ - start_; }

 private:
  bool Add(PackageEntryKind kind, const std::string& name, const std::vector<std::uint8_t>& data);
  bool Put(const void* data, std::size_t size);

  PackageSink& sink_;
  std::uint64_t start_;
  std::uint64_t offset_;
  std::vector<PackageEntry> entries_;  // pictures
  std::optional<PackageEntry> records_;
  bool ok_ = true;
};

// The pictures of an open package as the picture loader's source: a path
// the records give a picture entry reads that entry.
class PackagePictures final : public PictureSource {
 public:
  explicit PackagePictures(std::shared_ptr<const ShowPackage> package) : package_(std::move(package)) {}
  bool Holds(const std::string& path) const override;
  std::vector<std::uint8_t> Read(const std::string& path) const override;

 private:
  std::shared_ptr<const ShowPackage> package_;
};

}  // namespace velmora
