#include "editor/ElevatedStep.h"

#include <utility>

namespace velmora {

namespace {

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

}  // namespace

ElevatedStep ElevatedStepOf(std::wstring_view firstArgument) {
  if (firstArgument == kPlaceArgument) return ElevatedStep::Place;
  if (firstArgument == kPlaceFrameSetArgument) return ElevatedStep::PlaceFrameSet;
  if (firstArgument == kClearArgument) return ElevatedStep::Clear;
  return ElevatedStep::None;
}

bool IsStagingFolderPath(std::wstring_view path) {
  // "X:\" and at least one part.
  if (path.size() < 4 || path[1] != L':' || path[2] != L'\\') return false;
  const wchar_t drive = UpperAscii(path[0]);
  if (drive < L'A' || drive > L'Z') return false;
  if (path.find(L'/') != std::wstring_view::npos) return false;
  std::wstring_view rest = path.substr(3);
  std::wstring_view last;
  for (;;) {
    const std::size_t slash = rest.find(L'\\');
    const std::wstring_view part = rest.substr(0, slash);
    if (part.empty() || part == L"." || part == L"..") return false;
    // A part Windows would read otherwise (trailing dot or space, a stream).
    if (part.back() == L'.' || part.back() == L' ' || part.find(L':') != std::wstring_view::npos)
      return false;
    for (wchar_t c : part)
      if (c < 32 || std::wstring_view(L"*?\"<>|").find(c) != std::wstring_view::npos) return false;
    last = part;
    if (slash == std::wstring_view::npos) break;
    rest = rest.substr(slash + 1);
  }
  const std::wstring_view prefix = kStagingPrefix;
  return last.size() > prefix.size() && last.starts_with(prefix);
}

bool IsElevatedName(std::wstring_view name, std::string_view ansi, bool roundTrips) {
  return roundTrips && CheckSaverName(name, ansi) == SaverNameProblem::Valid;
}

FrameSetProblem CheckFrameSetLength(std::uint64_t length) {
  if (length < FrameRecordSize) return FrameSetProblem::NoHeader;
  if (length % FrameRecordSize != 0) return FrameSetProblem::PartialRecord;
  if (length > MaxFrameSetFileSize) return FrameSetProblem::TooLarge;
  return FrameSetProblem::Good;
}

ElevatedExit PlaceChecked(const std::string& systemDir, const std::string& name,
                          const std::string& frameSet, const std::string* image,
                          SaveFileSystem& files) {
  std::vector<std::pair<const char*, const std::string*>> contents = {{".fms", &frameSet}};
  if (image != nullptr) contents.push_back({".scr", image});
  std::vector<Placement> placements;
  for (const auto& [extension, bytes] : contents) {
    const std::string target = SaverFilePath(systemDir, name, extension);
    placements.push_back({target + kStagedSuffix, target});
    int code = 0;
    // What is placed is what was checked: written, then read back.
    if (!files.WriteBytes(placements.back().staged, *bytes, code) ||
        files.ReadBytes(placements.back().staged) != *bytes) {
      for (const Placement& p : placements) files.Remove(p.staged);
      return ElevatedExit::PlacingFailed;
    }
  }
  return PlaceAll(placements, files) ? ElevatedExit::PlacingFailed : ElevatedExit::Done;
}

ElevatedExit ClearSavers(const std::string& systemDir, const std::vector<std::string>& names,
                         SaveFileSystem& files) {
  bool all = true;
  for (const std::string& name : names) {
    // The frame-set file goes only with its saver, as in the clear dialog.
    if (!files.Remove(SaverFilePath(systemDir, name, ".scr")) ||
        !files.Remove(SaverFilePath(systemDir, name, ".fms")))
      all = false;
  }
  return all ? ElevatedExit::Done : ElevatedExit::ClearingFailed;
}

}  // namespace velmora
