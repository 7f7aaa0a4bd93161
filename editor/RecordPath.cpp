#include "editor/RecordPath.h"

#include "frames/FrameRecord.h"

namespace velmora {

namespace {

std::optional<std::string> Fitting(const std::wstring& path, const ExactAnsiConverter& toAnsi) {
  if (path.empty()) return std::nullopt;
  std::optional<std::string> ansi = toAnsi(path);
  if (!ansi || ansi->empty() || ansi->size() > MaxFramePathLength) return std::nullopt;
  return ansi;
}

}  // namespace

std::optional<std::string> ChooseRecordPath(const std::wstring& path, const ExactAnsiConverter& toAnsi,
                                            const ShortPathLookup& shortForm) {
  if (std::optional<std::string> direct = Fitting(path, toAnsi)) return direct;
  if (!shortForm) return std::nullopt;
  const std::optional<std::wstring> shortPath = shortForm(path);
  if (!shortPath) return std::nullopt;
  return Fitting(*shortPath, toAnsi);
}

}  // namespace velmora
