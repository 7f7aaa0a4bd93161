// The system's common dialogs and message boxes, with UTF-8 texts.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class MessageKind {
  Plain,         // OK, no icon
  Information,   // OK, information icon
  Confirmation,  // Yes and No, question icon
  Warning,       // OK, warning icon
  Error,         // OK, error icon
};

// Shows a message box owned by `owner` (nullptr: the active window) and
// returns the button pressed (IDOK, IDYES, IDNO; IDCANCEL when closed).
// An empty title gives the application's title.
int ShowMessage(HWND owner, std::string_view textUtf8, MessageKind kind, std::string_view titleUtf8 = {});

// The system colour dialog; the chosen colour, or nothing when cancelled.
// The custom colours are kept for the next call.
std::optional<COLORREF> ChooseColour(HWND owner, COLORREF initial);

enum class OpenDialogStatus { Ok, Cancelled, Error };

struct OpenDialogResult {
  OpenDialogStatus status = OpenDialogStatus::Cancelled;
  std::vector<std::wstring> paths;  // full paths, in the dialog's order
  DWORD error = 0;                  // CommDlgExtendedError when status is Error
};

struct OpenDialogOptions {
  std::string filter;       // UTF-8, "Name|pattern|Name|pattern"
  int filterIndex = 1;      // 1: the first pair
  std::string title;        // UTF-8; empty: the system's
  std::wstring initialDir;  // empty: the system's choice
  bool multiSelect = true;
  // A preview of the selected picture beside the file list (loaded through
  // LoadGraphic, scaled to fit, with its size as text).
  bool picturePreview = true;
  // A file name typed into the name field when the dialog opens (tests).
  std::wstring initialFile;
};

// The system's file-open dialog (GetOpenFileNameW, explorer style, sizable;
// the files and their directory must exist). When the names chosen do not
// fit the result buffer, the buffer grows and the dialog runs again. Any
// failure other than Cancel is reported as Error, never as Cancel.
OpenDialogResult RunOpenDialog(HWND owner, const OpenDialogOptions& options);

struct FolderDialogResult {
  OpenDialogStatus status = OpenDialogStatus::Cancelled;
  std::wstring path;  // the folder chosen, full path
  DWORD error = 0;    // the failure's HRESULT when status is Error
};

struct FolderDialogOptions {
  std::string title;          // UTF-8; empty: the system's
  std::wstring initialFolder; // the folder shown first; empty: the system's choice
  // Skips the common item dialog and shows the shell's folder browser
  // (as on a system without the former).
  bool browserOnly = false;
};

// Chooses one folder of the file system: the common item dialog in folder
// mode, or the shell's folder browser where that dialog cannot be made.
FolderDialogResult RunFolderDialog(HWND owner, const FolderDialogOptions& options);

// The picture filter the editor's picture dialog uses.
inline constexpr char kPictureFilter[] =
    "All (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG Image File (*.jpg)|*.jpg|"
    "JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp";

}  // namespace velmora
