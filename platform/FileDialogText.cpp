#include "platform/FileDialogText.h"

#include <algorithm>

namespace velmora {

std::wstring DialogFilter(std::wstring_view barSeparated) {
  std::wstring filter(barSeparated);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  // Each part ends with a NUL; the list ends with a second one.
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  return filter;
}

namespace {

bool IsFullPath(std::wstring_view name) {
  if (name.size() >= 2 && name[1] == L':') return true;
  return name.size() >= 2 && name[0] == L'\\' && name[1] == L'\\';
}

}  // namespace

std::vector<std::wstring> ParseDialogResult(std::wstring_view buffer) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start < buffer.size()) {
    const size_t end = std::min(buffer.find(L'\0', start), buffer.size());
    if (end == start) break;  // the empty string that ends the list
    parts.emplace_back(buffer.substr(start, end - start));
    start = end + 1;
  }
  if (parts.size() <= 1) return parts;
  std::wstring directory = parts.front();
  if (directory.back() != L'\\') directory.push_back(L'\\');
  std::vector<std::wstring> paths;
  paths.reserve(parts.size() - 1);
  for (size_t i = 1; i < parts.size(); ++i) {
    paths.push_back(IsFullPath(parts[i]) ? parts[i] : directory + parts[i]);
  }
  return paths;
}

std::size_t GrownDialogBuffer(std::size_t current, std::size_t requested) {
  if (current >= kMaxDialogBuffer) return 0;
  // The size the dialog asks for is a 16-bit count and may be short of what
  // a long selection needs, so the buffer at least doubles.
  std::size_t grown = std::max(requested + 2, current * 2);
  return std::min(grown, kMaxDialogBuffer);
}

}  // namespace velmora
