// Fuzzes the package reader with arbitrary file contents: opening, every
// entry read back, the pictures through the loader's source, the records as
// a frame list. A package that opens must read back the same when written
// again entry by entry.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "frames/ShowPackage.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PackageProblem problem = PackageProblem::None;
  std::shared_ptr<const ShowPackage> package =
      ShowPackage::Open(std::make_shared<MemoryPackageFile>(std::vector<std::uint8_t>(data, data + size)), problem);
  if (!package) {
    if (problem == PackageProblem::None) __builtin_trap();
    return 0;
  }
  if (package->RecordBytes().size() % FrameRecordSize != 0 || package->Start() > size) __builtin_trap();
  const FrameList list = FrameListFromRecords(package->RecordBytes());
  for (std::size_t i = 0; i < list.Count(); ++i) (void)list[i].Path();

  PackagePictures pictures(package);
  MemoryPackageSink sink;
  sink.Write(data, std::size_t(package->Start()));
  PackageWriter writer(sink, package->Start());
  writer.AddRecords(package->RecordBytes());
  for (const PackageEntry& entry : package->Entries()) {
    if (entry.kind != PackageEntryKind::Picture) continue;
    if (entry.offset + entry.length > size) __builtin_trap();
    std::vector<std::uint8_t> bytes;
    if (!package->Read(entry, bytes)) continue;
    if (std::memcmp(bytes.data(), data + entry.offset, bytes.size()) != 0) __builtin_trap();
    if (!pictures.Holds(entry.name)) __builtin_trap();
    writer.AddPicture(entry.name, bytes);
  }
  if (!writer.Finish()) __builtin_trap();
  PackageProblem again = PackageProblem::None;
  auto reread = ShowPackage::Open(std::make_shared<MemoryPackageFile>(std::move(sink.bytes)), again);
  if (!reread || reread->RecordBytes() != package->RecordBytes()) __builtin_trap();
  return 0;
}
