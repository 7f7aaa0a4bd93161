#include "editor/ClearOldSavers.h"

#include <cwctype>
#include <string_view>

namespace velmora {

std::vector<std::wstring> SaverNamesIn(const std::vector<DirectoryEntry>& entries) {
  constexpr std::wstring_view kEnding = L".fms";
  std::vector<std::wstring> names;
  for (const DirectoryEntry& entry : entries) {
    if (entry.directory || entry.name.size() <= kEnding.size()) continue;
    const std::wstring_view tail = std::wstring_view(entry.name).substr(entry.name.size() - kEnding.size());
    bool matches = true;
    for (std::size_t i = 0; i < kEnding.size(); ++i)
      if (static_cast<wchar_t>(std::towlower(static_cast<wint_t>(tail[i]))) != kEnding[i]) matches = false;
    if (matches) names.push_back(entry.name.substr(0, entry.name.size() - kEnding.size()));
  }
  return names;
}

void ClearOldSavers(const std::vector<ChosenSaver>& chosen, const std::wstring& systemDir,
                    ClearUserInterface& ui, SaveFileSystem& files, SaveElevation* elevation,
                    const ExactAnsiName& exactAnsi) {
  std::vector<std::string> refused;  // no right to delete: one elevated step
  std::vector<std::wstring> kept;
  for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) {
    // The frame-set file goes only with its saver, so a saver that cannot
    // be deleted (running, say) stays whole and listed.
    int error = 0;
    const bool gone = files.RemoveFile(SaverFilePath(systemDir, it->name, L".scr"), error) &&
                      files.RemoveFile(SaverFilePath(systemDir, it->name, L".fms"), error);
    if (gone) {
      ui.Deleted(it->index);
      continue;
    }
    std::optional<std::string> ansi;
    if (elevation != nullptr && IsNoWriteRight(error)) ansi = exactAnsi(it->name);
    if (ansi) {
      refused.insert(refused.begin(), *ansi);
    } else {
      kept.insert(kept.begin(), it->name);
    }
  }
  if (!refused.empty()) {
    int exitCode = 0;
    const ElevationOutcome outcome = elevation->Clear(refused, exitCode);
    if (outcome != ElevationOutcome::Done)
      ui.ShowElevationFailure(ElevationMessage(outcome, exitCode, false));
    // The list shows what is really left.
    ui.Refill();
  }
  if (!kept.empty()) ui.ShowNotDeleted(NotDeletedMessage(kept));
}

std::wstring NotDeletedMessage(const std::vector<std::wstring>& names) {
  std::wstring text =
      L"下列螢幕保護的檔案無法刪除 (可能正在使用中，或沒有權限)：\r\n"
      L"The files of these savers could not be deleted (in use, or no right to):\r\n";
  for (const std::wstring& name : names) text += L"\r\n" + name;
  return text;
}

}  // namespace velmora
