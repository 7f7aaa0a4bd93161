#include "editor/ExportWin32.h"

#include <commdlg.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/ApplicationWin32.h"
#include "platform/DialogsWin32.h"
#include "platform/ProgressWindowWin32.h"
#include "platform/SystemPathsWin32.h"

namespace velmora {
namespace {

std::string SizeText(std::uint64_t bytes) {
  char text[64];
  if (bytes >= 1024ull * 1024)
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024.0 * 1024.0));
  else
    std::snprintf(text, sizeof text, "%.1f KB", double(bytes) / 1024.0);
  return std::string(text) + " (" + std::to_string(bytes) + " 位元組)";
}

// The save-file dialog; the chosen path, or nothing when cancelled.
std::optional<std::wstring> AskTarget(HWND owner, const std::string& showNameAnsi) {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring offered = ExportFileNameFor(showNameAnsi);
  offered.copy(file.data(), std::min(offered.size(), file.size() - 1));
  const std::wstring desktop = ReadDesktopFolder();
  const std::wstring title = WidenUtf8(kExportTitle);
  static constexpr wchar_t kFilter[] = L"螢幕保護 (*.scr)\0*.scr\0";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = desktop.empty() ? nullptr : desktop.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"scr";
  dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  if (!::GetSaveFileNameW(&dialog)) return std::nullopt;
  return std::wstring(file.data());
}

}  // namespace

std::wstring ExportFileNameFor(const std::string& showNameAnsi) {
  std::wstring name = WidenAnsi(showNameAnsi);
  for (wchar_t& c : name)
    if (c < 32 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos) c = L'_';
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  if (name.empty()) name = L"Velmora";
  return name + L".scr";
}

std::string ExportOutcomeMessage(const ExportResult& result, const std::wstring& target) {
  const std::string where = NarrowToUtf8(target);
  switch (result.outcome) {
    case ExportResult::Outcome::Done: {
      std::string text = "已匯出螢幕保護:\n" + where + "\n大小: " + SizeText(result.fileSize) + "\n圖片 " +
                         std::to_string(result.pictures) + " 張";
      if (result.fitted > 0) text += ", 其中 " + std::to_string(result.fitted) + " 張縮小為 3840 x 2160 以內";
      if (!result.missing.empty()) {
        text += "\n\n下列圖片無法讀取, 在匯出的螢幕保護裡以黑色顯示:";
        for (const std::string& path : result.missing) text += "\n" + NarrowToUtf8(WidenAnsi(path));
      }
      return text;
    }
    case ExportResult::Outcome::Cancelled:
      return "已取消匯出, 沒有留下任何檔案:\n" + where;
    case ExportResult::Outcome::Failed:
      break;
  }
  return "無法匯出螢幕保護:\n" + where + "\n" + result.error;
}

ExportResult ExportShow(HWND owner, const FrameList& list, const std::string& showNameAnsi) {
  ExportResult result;
  result.outcome = ExportResult::Outcome::Cancelled;
  const std::optional<std::wstring> target = AskTarget(owner, showNameAnsi);
  if (!target) return result;

  std::optional<ProgressWindow> progress;
  result = ExportSaverFile(std::filesystem::path(ReadExecutablePathWide()), std::filesystem::path(*target), list,
                           [&](int done, int total) {
                             if (!progress) {
                               progress.emplace();
                               if (!progress->Start(owner, kExportProgressText, total)) progress.reset();
                             }
                             if (!progress) return true;
                             progress->Step(done);
                             return !progress->Cancelled();
                           });
  if (progress) progress->Finish();
  ShowMessage(owner, ExportOutcomeMessage(result, *target),
              result.outcome == ExportResult::Outcome::Done
                  ? (result.missing.empty() ? MessageKind::Information : MessageKind::Warning)
                  : (result.outcome == ExportResult::Outcome::Cancelled ? MessageKind::Information
                                                                        : MessageKind::Error));
  return result;
}

}  // namespace velmora
