#include "editor/ThumbnailsWin32.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "platform/SystemPathsWin32.h"

namespace velmora {

std::filesystem::path CreateRunFolder(const wchar_t* prefix) {
  const std::wstring temp = ReadTempFolder();
  if (temp.empty()) return {};
  const std::filesystem::path base(temp);
  // The process id and the tick count make the name; a clash (a folder left
  // by an earlier run with the same id) tries the next number.
  const std::wstring stem = prefix + std::to_wstring(::GetCurrentProcessId()) + L"-";
  const ULONGLONG start = ::GetTickCount64();
  for (ULONGLONG n = 0; n < 100; ++n) {
    const std::filesystem::path folder = base / (stem + std::to_wstring(start + n));
    if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

EditorThumbnails::EditorThumbnails() {
  std::filesystem::path folder = CreateRunFolder(L"Velmora99-");
  ownsFolder_ = !folder.empty();
  store_ = std::make_unique<ThumbnailStore>(std::move(folder));
}

EditorThumbnails::~EditorThumbnails() { Close(highest_ + 1); }

bool EditorThumbnails::Make(const std::string& path, std::int32_t n) {
  highest_ = std::max(highest_, n);
  return store_->Make(path, n);
}

void EditorThumbnails::NoteMade(std::int32_t highest) { highest_ = std::max(highest_, highest); }

UniqueBitmap EditorThumbnails::LoadBitmap(std::int32_t n) const {
  const std::shared_ptr<const MemoryImage24> image = store_->Load(n);
  if (!image || image->Width() <= 0 || image->Height() <= 0) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image->Width();
  info.bmiHeader.biHeight = -image->Height();  // top-down, as Image24 rows lie
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) return {};
  // A DIB section's rows are padded to 4 bytes, as Image24's are.
  std::memcpy(bits, image->Bits(), image->ByteSize());
  return bitmap;
}

void EditorThumbnails::Close(std::int32_t below) {
  if (closed_) return;
  closed_ = true;
  store_->DeleteAll(std::max(below, highest_ + 1));
  if (ownsFolder_) {
    std::error_code ignored;
    std::filesystem::remove_all(store_->Folder(), ignored);
  }
}

}  // namespace velmora
