// "匯出...": the save-file dialog, the export with its progress window and
// the message that says how it went.
#pragma once

#include <windows.h>

#include <string>

#include "editor/Export.h"
#include "frames/FrameList.h"

namespace velmora {

// The texts the user sees (for the tests).
inline constexpr char kExportTitle[] = "匯出螢幕保護";
inline constexpr char kExportProgressText[] = "匯出圖片";

// The file name the dialog offers for a show: its name with the
// characters a file name cannot hold replaced, ".scr" added.
std::wstring ExportFileNameFor(const std::string& showNameAnsi);

// The message after an export to `target`.
std::string ExportOutcomeMessage(const ExportResult& result, const std::wstring& target);

// Asks where (the Desktop and the show's name at first), writes the saver
// with a progress window over owner, then says how it went. Returns the
// result (Cancelled when the dialog was cancelled).
ExportResult ExportShow(HWND owner, const FrameList& list, const std::string& showNameAnsi);

}  // namespace velmora
