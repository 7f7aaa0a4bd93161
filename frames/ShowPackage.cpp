#include "frames/ShowPackage.h"

#include <array>
#include <cstring>

namespace velmora {
namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t GetU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint64_t GetU64(const std::uint8_t* p) { return GetU32(p) | std::uint64_t(GetU32(p + 4)) << 32; }
void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
void PutU64(std::uint8_t* p, std::uint64_t v) {
  PutU32(p, std::uint32_t(v));
  PutU32(p + 4, std::uint32_t(v >> 32));
}

// The largest records entry read (the frame-set file's own limit).
constexpr std::uint64_t kMaxRecordBytes = 64ull * 1024 * 1024;
// The largest table read: every entry with the longest name.
constexpr std::uint64_t kMaxTableBytes = std::uint64_t(kMaxPackageEntries) * (kPackageEntrySize + kMaxPackageNameLength);

}  // namespace

const char* PackageProblemText(PackageProblem problem) {
  switch (problem) {
    case PackageProblem::None: return "no problem";
    case PackageProblem::NoPackage: return "the file carries no show";
    case PackageProblem::Unreadable: return "the file cannot be read";
    case PackageProblem::Version: return "the show was packed by a later version of the program";
    case PackageProblem::Trailer: return "the package's trailer is damaged";
    case PackageProblem::Head: return "the package's start is damaged";
    case PackageProblem::Table: return "the package's table of contents is damaged";
    case PackageProblem::Entry: return "an entry of the package lies outside the file";
    case PackageProblem::Records: return "the show's records in the package are damaged";
    case PackageProblem::Checksum: return "the package's contents do not match their checksums";
  }
  return "unknown problem";
}

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

bool MemoryPackageFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
  if (size) std::memcpy(buffer, bytes_.data() + offset, size);
  return true;
}

UniqueFile OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wideMode(mode, mode + std::strlen(mode));
  return UniqueFile(_wfopen(path.c_str(), wideMode.c_str()));
#else
  return UniqueFile(std::fopen(path.c_str(), mode));
#endif
}

std::unique_ptr<DiskPackageFile> DiskPackageFile::Open(const std::filesystem::path& path) {
  UniqueFile file = OpenFile(path, "rb");
  if (!file) return nullptr;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return nullptr;
  return std::unique_ptr<DiskPackageFile>(new DiskPackageFile(std::move(file), size));
}

bool DiskPackageFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  if (offset > size_ || size > size_ - offset) return false;
  std::lock_guard<std::mutex> lock(mutex_);
#ifdef _WIN32
  if (_fseeki64(file_.get(), static_cast<long long>(offset), SEEK_SET) != 0) return false;
#else
  if (fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return false;
#endif
  return std::fread(buffer, 1, size, file_.get()) == size;
}

std::unique_ptr<ShowPackage> ShowPackage::Open(std::shared_ptr<const PackageFile> file, PackageProblem& problem) {
  problem = PackageProblem::NoPackage;
  if (!file) return nullptr;
  const std::uint64_t size = file->Size();
  if (size < kPackageTrailerSize) return nullptr;

  // The trailer.
  std::uint8_t trailer[kPackageTrailerSize];
  if (!file->ReadAt(size - kPackageTrailerSize, trailer, sizeof trailer)) {
    problem = PackageProblem::Unreadable;
    return nullptr;
  }
  if (std::memcmp(trailer, kPackageMagic, sizeof kPackageMagic) != 0) return nullptr;
  if (GetU32(trailer + 8) != kPackageVersion) {
    problem = PackageProblem::Version;
    return nullptr;
  }
  const std::uint32_t count = GetU32(trailer + 12);
  const std::uint64_t start = GetU64(trailer + 16);
  const std::uint64_t tableOffset = GetU64(trailer + 24);
  const std::uint32_t tableChecksum = GetU32(trailer + 32);
  const std::uint64_t tableEnd = size - kPackageTrailerSize;
  problem = PackageProblem::Trailer;
  if (GetU32(trailer + 36) != Crc32(trailer, 36)) return nullptr;
  if (start > tableEnd || tableEnd - start < kPackageHeadSize) return nullptr;
  if (tableOffset < start + kPackageHeadSize || tableOffset > tableEnd) return nullptr;
  if (count == 0 || count > kMaxPackageEntries) return nullptr;

  // The head.
  std::uint8_t head[kPackageHeadSize];
  problem = PackageProblem::Head;
  if (!file->ReadAt(start, head, sizeof head) || std::memcmp(head, kPackageMagic, sizeof kPackageMagic) != 0 ||
      GetU32(head + 8) != kPackageVersion)
    return nullptr;

  // The table, whole, checked before a field of it is believed.
  problem = PackageProblem::Table;
  const std::uint64_t tableSize = tableEnd - tableOffset;
  if (tableSize < std::uint64_t(count) * kPackageEntrySize || tableSize > kMaxTableBytes) return nullptr;
  std::vector<std::uint8_t> table(static_cast<std::size_t>(tableSize));
  if (!file->ReadAt(tableOffset, table.data(), table.size())) {
    problem = PackageProblem::Unreadable;
    return nullptr;
  }
  if (Crc32(table.data(), table.size()) != tableChecksum) return nullptr;

  auto package = std::unique_ptr<ShowPackage>(new ShowPackage());
  package->file_ = file;
  package->start_ = start;
  package->entries_.reserve(count);
  const std::uint64_t dataBegin = start + kPackageHeadSize;
  std::size_t at = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    problem = PackageProblem::Table;
    if (table.size() - at < kPackageEntrySize) return nullptr;
    const std::uint8_t* fixed = table.data() + at;
    const std::uint32_t kind = GetU32(fixed);
    const std::uint32_t nameLength = GetU32(fixed + 4);
    if (kind != std::uint32_t(PackageEntryKind::Records) && kind != std::uint32_t(PackageEntryKind::Picture))
      return nullptr;
    if (nameLength > kMaxPackageNameLength || table.size() - at - kPackageEntrySize < nameLength) return nullptr;
    if (GetU32(fixed + 28) != 0) return nullptr;
    PackageEntry entry;
    entry.kind = PackageEntryKind(kind);
    entry.offset = GetU64(fixed + 8);
    entry.length = GetU64(fixed + 16);
    entry.checksum = GetU32(fixed + 24);
    entry.name.assign(reinterpret_cast<const char*>(fixed + kPackageEntrySize), nameLength);
    at += kPackageEntrySize + nameLength;

    problem = PackageProblem::Entry;
    if (entry.offset < dataBegin || entry.offset > tableOffset || entry.length > tableOffset - entry.offset)
      return nullptr;
    problem = PackageProblem::Records;
    if ((entry.kind == PackageEntryKind::Records) != (i == 0)) return nullptr;
    problem = PackageProblem::Table;
    if (entry.kind == PackageEntryKind::Picture && (entry.name.empty() || entry.name.find('\0') != std::string::npos))
      return nullptr;
    package->entries_.push_back(std::move(entry));
  }
  problem = PackageProblem::Table;
  if (at != table.size()) return nullptr;
  for (std::size_t i = 1; i < package->entries_.size(); ++i)
    if (!package->pictures_.emplace(package->entries_[i].name, i).second) return nullptr;

  // The records: whole records, at least the header, and the checksum.
  const PackageEntry& records = package->entries_[0];
  problem = PackageProblem::Records;
  if (records.length < FrameRecordSize || records.length % FrameRecordSize != 0 || records.length > kMaxRecordBytes)
    return nullptr;
  if (!package->Read(records, package->records_)) {
    problem = PackageProblem::Checksum;
    return nullptr;
  }
  problem = PackageProblem::None;
  return package;
}

const PackageEntry* ShowPackage::FindPicture(std::string_view name) const {
  const auto it = pictures_.find(name);
  return it == pictures_.end() ? nullptr : &entries_[it->second];
}

bool ShowPackage::Read(const PackageEntry& entry, std::vector<std::uint8_t>& data) const {
  data.clear();
  if (entry.length > kMaxPictureFileBytes) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(entry.length));
  if (!file_->ReadAt(entry.offset, bytes.data(), bytes.size())) return false;
  if (Crc32(bytes.data(), bytes.size()) != entry.checksum) return false;
  data = std::move(bytes);
  return true;
}

FrameList FrameListFromRecords(const std::vector<std::uint8_t>& records) {
  FrameList list;
  for (std::size_t at = 0; at + FrameRecordSize <= records.size(); at += FrameRecordSize) {
    auto record = std::make_unique<FrameRecord>();
    std::memcpy(record.get(), records.data() + at, FrameRecordSize);
    list.Append(std::move(record));
  }
  AppendFrameRecord(list);
  return list;
}

std::vector<std::uint8_t> RecordsOfFrameList(const FrameList& list) {
  std::vector<std::uint8_t> records;
  const std::size_t count = list.Count() < 2 ? 0 : list.Count() - 1;
  records.resize(count * FrameRecordSize);
  for (std::size_t i = 0; i < count; ++i) std::memcpy(records.data() + i * FrameRecordSize, &list[i], FrameRecordSize);
  return records;
}

bool MemoryPackageSink::Write(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  bytes.insert(bytes.end(), p, p + size);
  return true;
}

PackageWriter::PackageWriter(PackageSink& sink, std::uint64_t start) : sink_(sink), start_(start), offset_(start) {
  std::uint8_t head[kPackageHeadSize] = {};
  std::memcpy(head, kPackageMagic, sizeof kPackageMagic);
  PutU32(head + 8, kPackageVersion);
  Put(head, sizeof head);
}

bool PackageWriter::Put(const void* data, std::size_t size) {
  if (ok_ && !sink_.Write(data, size)) ok_ = false;
  offset_ += size;
  return ok_;
}

bool PackageWriter::Add(PackageEntryKind kind, const std::string& name, const std::vector<std::uint8_t>& data) {
  if (name.size() > kMaxPackageNameLength || entries_.size() + 1 >= kMaxPackageEntries) ok_ = false;
  if (kind == PackageEntryKind::Records && records_) ok_ = false;
  if (!ok_) return false;
  PackageEntry entry{kind, name, offset_, data.size(), Crc32(data.data(), data.size())};
  if (kind == PackageEntryKind::Records)
    records_ = std::move(entry);
  else
    entries_.push_back(std::move(entry));
  return Put(data.data(), data.size());
}

bool PackageWriter::AddRecords(const std::vector<std::uint8_t>& records) {
  return Add(PackageEntryKind::Records, "", records);
}

bool PackageWriter::AddPicture(const std::string& name, const std::vector<std::uint8_t>& data) {
  return Add(PackageEntryKind::Picture, name, data);
}

bool PackageWriter::Finish() {
  if (!ok_ || !records_) return false;
  std::vector<std::uint8_t> table;
  auto put = [&table](const PackageEntry& entry) {
    std::uint8_t fixed[kPackageEntrySize] = {};
    PutU32(fixed, std::uint32_t(entry.kind));
    PutU32(fixed + 4, std::uint32_t(entry.name.size()));
    PutU64(fixed + 8, entry.offset);
    PutU64(fixed + 16, entry.length);
    PutU32(fixed + 24, entry.checksum);
    table.insert(table.end(), fixed, fixed + sizeof fixed);
    table.insert(table.end(), entry.name.begin(), entry.name.end());
  };
  put(*records_);
  for (const PackageEntry& entry : entries_) put(entry);
  const std::uint64_t tableOffset = offset_;
  Put(table.data(), table.size());
  std::uint8_t trailer[kPackageTrailerSize] = {};
  std::memcpy(trailer, kPackageMagic, sizeof kPackageMagic);
  PutU32(trailer + 8, kPackageVersion);
  PutU32(trailer + 12, std::uint32_t(entries_.size() + 1));
  PutU64(trailer + 16, start_);
  PutU64(trailer + 24, tableOffset);
  PutU32(trailer + 32, Crc32(table.data(), table.size()));
  PutU32(trailer + 36, Crc32(trailer, 36));
  return Put(trailer, sizeof trailer);
}

bool PackagePictures::Holds(const std::string& path) const { return package_->FindPicture(path) != nullptr; }

std::vector<std::uint8_t> PackagePictures::Read(const std::string& path) const {
  const PackageEntry* entry = package_->FindPicture(path);
  std::vector<std::uint8_t> data;
  if (!entry || !package_->Read(*entry, data))
    throw EPictureError(path + ": the picture in the saver's own file is damaged");
  return data;
}

}  // namespace velmora
