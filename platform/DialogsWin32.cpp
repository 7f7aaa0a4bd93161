#include "platform/DialogsWin32.h"

#include <cderr.h>
#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>

#include "fade/PictureLoader.h"
#include "platform/ApplicationWin32.h"
#include "platform/DibImageWin32.h"
#include "platform/FileDialogText.h"
#include "platform/ComWin32.h"
#include "platform/HandlesWin32.h"

namespace velmora {

int ShowMessage(HWND owner, std::string_view textUtf8, MessageKind kind, std::string_view titleUtf8) {
  UINT flags = MB_OK;
  switch (kind) {
    case MessageKind::Plain:
      break;
    case MessageKind::Information:
      flags |= MB_ICONINFORMATION;
      break;
    case MessageKind::Confirmation:
      flags = MB_YESNO | MB_ICONQUESTION;
      break;
    case MessageKind::Warning:
      flags |= MB_ICONWARNING;
      break;
    case MessageKind::Error:
      flags |= MB_ICONSTOP;
      break;
  }
  const std::wstring text = WidenUtf8(textUtf8);
  std::wstring title = WidenUtf8(titleUtf8);
  if (title.empty()) title = Application::Instance().Title();
  if (owner == nullptr) owner = ::GetActiveWindow();
  return ::MessageBoxW(owner, text.c_str(), title.c_str(), flags);
}

std::optional<COLORREF> ChooseColour(HWND owner, COLORREF initial) {
  static COLORREF custom[16] = {};
  CHOOSECOLORW choose{};
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = owner;
  choose.rgbResult = initial;
  choose.lpCustColors = custom;
  choose.Flags = CC_RGBINIT | CC_ANYCOLOR;
  if (!::ChooseColorW(&choose)) return std::nullopt;
  return choose.rgbResult;
}

namespace {

// ---- The preview beside the file list ---------------------------------------

constexpr int kPreviewId = 1101;
constexpr int kSizeTextId = 1102;

// The state of one run of the dialog, reached by the hook.
struct PreviewState {
  std::unique_ptr<DibImage> picture;  // the preview, already scaled to fit
  std::wstring shownPath;
  std::vector<wchar_t>* buffer = nullptr;  // the result buffer, grown on demand
};

// A dialog template in memory: the standard controls go where the stc32
// frame is; the preview and its size text lie to its right.
class PreviewTemplate {
 public:
  PreviewTemplate() {
    // Header: no menu, default class, no title, then the font (DS_SETFONT).
    AddDword(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL | DS_SETFONT);
    AddDword(0);
    Add(3);  // three controls
    Add(0);
    Add(0);
    Add(280);
    Add(130);
    Add(0);
    Add(0);
    Add(0);
    Add(8);
    AddString(L"MS Shell Dlg");
    AddItem(WS_CHILD, 0, 0, 170, 130, stc32, L"");
    AddItem(WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 176, 8, 100, 96, kPreviewId, L"");
    AddItem(WS_CHILD | WS_VISIBLE | SS_CENTER, 176, 108, 100, 10, kSizeTextId, L"");
    memory_ = ::GlobalAlloc(GMEM_FIXED, words_.size() * sizeof(WORD));
    if (memory_ != nullptr) std::memcpy(memory_, words_.data(), words_.size() * sizeof(WORD));
  }
  ~PreviewTemplate() {
    if (memory_ != nullptr) ::GlobalFree(memory_);
  }
  PreviewTemplate(const PreviewTemplate&) = delete;
  PreviewTemplate& operator=(const PreviewTemplate&) = delete;
  HGLOBAL Memory() const { return memory_; }

 private:
  void Add(WORD word) { words_.push_back(word); }
  void AddDword(DWORD value) {
    Add(LOWORD(value));
    Add(HIWORD(value));
  }
  void AddString(const wchar_t* text) {
    for (; *text != L'\0'; ++text) Add(static_cast<WORD>(*text));
    Add(0);
  }
  void Align() {
    if (words_.size() % 2 != 0) Add(0);
  }
  void AddItem(DWORD style, short x, short y, short width, short height, WORD id, const wchar_t* text) {
    Align();
    AddDword(style);
    AddDword(0);
    Add(static_cast<WORD>(x));
    Add(static_cast<WORD>(y));
    Add(static_cast<WORD>(width));
    Add(static_cast<WORD>(height));
    Add(id);
    Add(0xFFFF);  // a predefined class: STATIC
    Add(0x0082);
    AddString(text);
    Add(0);  // no creation data
  }

  std::vector<WORD> words_;
  HGLOBAL memory_ = nullptr;
};

std::wstring DialogString(HWND dialog, UINT message) {
  const LRESULT length = ::SendMessageW(dialog, message, 0, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  ::SendMessageW(dialog, message, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()));
  text.resize(std::wcslen(text.c_str()));
  return text;
}

// The file the preview shows: the first of the selection.
std::wstring SelectedFile(HWND dialog) {
  const std::wstring spec = DialogString(dialog, CDM_GETSPEC);
  if (spec.empty()) return {};
  std::wstring name = spec;
  if (spec.front() == L'"') {
    const size_t close = spec.find(L'"', 1);
    name = spec.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
  }
  if (name.find(L':') != std::wstring::npos || name.rfind(L"\\\\", 0) == 0) return name;
  std::wstring folder = DialogString(dialog, CDM_GETFOLDERPATH);
  if (folder.empty()) return {};
  if (folder.back() != L'\\') folder.push_back(L'\\');
  return folder + name;
}

void UpdatePreview(HWND hook, PreviewState& state) {
  HWND dialog = ::GetParent(hook);
  const std::wstring path = SelectedFile(dialog);
  if (path == state.shownPath) return;
  state.shownPath = path;
  state.picture.reset();
  std::wstring sizeText;
  HWND preview = ::GetDlgItem(hook, kPreviewId);
  RECT area{};
  ::GetClientRect(preview, &area);
  const std::string ansi = NarrowToAnsi(path);
  if (!path.empty() && IsPictureFileName(ansi) && area.right > 0 && area.bottom > 0) {
    try {
      std::shared_ptr<const Graphic> graphic = LoadGraphic(ansi);
      const int width = graphic->Width();
      const int height = graphic->Height();
      if (width > 0 && height > 0) {
        // Scaled to fit the area, never enlarged, keeping the proportions.
        const double scale = std::min({1.0, double(area.right) / width, double(area.bottom) / height});
        const int fitWidth = std::max(1, static_cast<int>(width * scale));
        const int fitHeight = std::max(1, static_cast<int>(height * scale));
        auto image = std::make_unique<DibImage>(fitWidth, fitHeight);
        image->Fill(kWhite);
        graphic->StretchDraw(*image, Rect{0, 0, fitWidth, fitHeight});
        state.picture = std::move(image);
        sizeText = std::to_wstring(width) + L" x " + std::to_wstring(height);
      }
    } catch (const std::exception&) {
      // A picture that cannot be read shows nothing.
      state.picture.reset();
    }
  }
  ::SetDlgItemTextW(hook, kSizeTextId, sizeText.c_str());
  ::InvalidateRect(preview, nullptr, TRUE);
}

void DrawPreview(const DRAWITEMSTRUCT& item, const PreviewState& state) {
  RECT area = item.rcItem;
  ::FillRect(item.hDC, &area, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DrawEdge(item.hDC, &area, BDR_SUNKENOUTER, BF_RECT);
  if (!state.picture || state.picture->Dc() == nullptr) return;
  const int width = state.picture->Width();
  const int height = state.picture->Height();
  const int x = (area.left + area.right - width) / 2;
  const int y = (area.top + area.bottom - height) / 2;
  ::BitBlt(item.hDC, x, y, width, height, state.picture->Dc(), 0, 0, SRCCOPY);
}

// Makes sure the result buffer can hold the current selection (the folder
// and every name), so a long multi-selection does not fail.
void GrowForSelection(HWND hook, OPENFILENAMEW& dialogData, PreviewState& state) {
  if (state.buffer == nullptr || dialogData.lpstrFile != state.buffer->data()) return;
  HWND dialog = ::GetParent(hook);
  const LRESULT specLength = ::SendMessageW(dialog, CDM_GETSPEC, 0, 0);
  const LRESULT folderLength = ::SendMessageW(dialog, CDM_GETFOLDERPATH, 0, 0);
  if (specLength <= 0 || folderLength < 0) return;
  const size_t needed = static_cast<size_t>(specLength + folderLength) + 16;
  if (needed <= dialogData.nMaxFile || needed > kMaxDialogBuffer) return;
  state.buffer->assign(needed * 2, L'\0');
  dialogData.lpstrFile = state.buffer->data();
  dialogData.nMaxFile = static_cast<DWORD>(state.buffer->size());
}

UINT_PTR CALLBACK PreviewHook(HWND hook, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* dialogData = reinterpret_cast<const OPENFILENAMEW*>(lParam);
      ::SetWindowLongPtrW(hook, DWLP_USER, static_cast<LONG_PTR>(dialogData->lCustData));
      return TRUE;
    }
    case WM_NOTIFY: {
      auto* state = reinterpret_cast<PreviewState*>(::GetWindowLongPtrW(hook, DWLP_USER));
      const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
      if (state == nullptr || notify == nullptr) return 0;
      if (notify->hdr.code == CDN_SELCHANGE || notify->hdr.code == CDN_FOLDERCHANGE) {
        if (notify->lpOFN != nullptr) GrowForSelection(hook, *notify->lpOFN, *state);
        UpdatePreview(hook, *state);
      }
      return 0;
    }
    case WM_DRAWITEM: {
      auto* state = reinterpret_cast<PreviewState*>(::GetWindowLongPtrW(hook, DWLP_USER));
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (state == nullptr || item == nullptr || item->CtlID != kPreviewId) return FALSE;
      DrawPreview(*item, *state);
      return TRUE;
    }
    default:
      return 0;
  }
}

}  // namespace

OpenDialogResult RunOpenDialog(HWND owner, const OpenDialogOptions& options) {
  OpenDialogResult result;
  const std::wstring filter = DialogFilter(WidenUtf8(options.filter));
  const std::wstring title = WidenUtf8(options.title);
  std::unique_ptr<PreviewTemplate> preview;
  if (options.picturePreview) preview = std::make_unique<PreviewTemplate>();
  std::vector<wchar_t> buffer;
  // Larger than anything the file-name field takes when typed: some
  // versions of the dialog copy a typed list without checking its length.
  // Selections in the list grow the buffer through the hook beforehand.
  size_t size = 65536;
  for (;;) {
    buffer.assign(std::max(size, options.initialFile.size() + 2), L'\0');
    std::copy(options.initialFile.begin(), options.initialFile.end(), buffer.begin());
    PreviewState state;
    state.buffer = &buffer;
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = options.filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(std::max(1, options.filterIndex));
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.lpstrInitialDir = options.initialDir.empty() ? nullptr : options.initialDir.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
    if (options.multiSelect) dialog.Flags |= OFN_ALLOWMULTISELECT;
    if (preview && preview->Memory() != nullptr) {
      dialog.Flags |= OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE;
      dialog.hInstance = static_cast<HINSTANCE>(preview->Memory());
      dialog.lpfnHook = PreviewHook;
      dialog.lCustData = reinterpret_cast<LPARAM>(&state);
    }
    if (::GetOpenFileNameW(&dialog)) {
      // The hook may have grown the buffer; dialog.lpstrFile is where the result is.
      result.status = OpenDialogStatus::Ok;
      result.paths = ParseDialogResult(std::wstring_view(dialog.lpstrFile, dialog.nMaxFile));
      return result;
    }
    const DWORD error = ::CommDlgExtendedError();
    if (error == 0) {
      result.status = OpenDialogStatus::Cancelled;
      return result;
    }
    if (error == FNERR_BUFFERTOOSMALL) {
      // The first character holds the size the dialog asked for.
      const size_t next = GrownDialogBuffer(dialog.nMaxFile, static_cast<unsigned short>(dialog.lpstrFile[0]));
      if (next != 0) {
        size = next;
        continue;
      }
    }
    result.status = OpenDialogStatus::Error;
    result.error = error;
    return result;
  }
}

}  // namespace velmora

namespace velmora {

namespace {

// Frees what the shell allocated with CoTaskMemAlloc.
struct TaskMemory {
  void* p = nullptr;
  TaskMemory() = default;
  explicit TaskMemory(void* memory) : p(memory) {}
  TaskMemory(const TaskMemory&) = delete;
  TaskMemory& operator=(const TaskMemory&) = delete;
  ~TaskMemory() { ::CoTaskMemFree(p); }
};

// The common item dialog in folder mode. Nothing when it cannot be made
// (the caller falls back to the folder browser).
std::optional<FolderDialogResult> RunItemFolderDialog(HWND owner, const FolderDialogOptions& options) {
  ComRef<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                dialog.PutVoid())))
    return std::nullopt;
  FILEOPENDIALOGOPTIONS flags = 0;
  dialog->GetOptions(&flags);
  if (FAILED(dialog->SetOptions(flags | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST)))
    return std::nullopt;
  if (!options.title.empty()) dialog->SetTitle(WidenUtf8(options.title).c_str());
  if (!options.initialFolder.empty()) {
    ComRef<IShellItem> folder;
    if (SUCCEEDED(::SHCreateItemFromParsingName(options.initialFolder.c_str(), nullptr, IID_IShellItem,
                                                folder.PutVoid())))
      dialog->SetFolder(folder.get());
  }
  FolderDialogResult result;
  const HRESULT shown = dialog->Show(owner);
  if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return result;
  if (FAILED(shown)) {
    result.status = OpenDialogStatus::Error;
    result.error = static_cast<DWORD>(shown);
    return result;
  }
  ComRef<IShellItem> chosen;
  HRESULT got = dialog->GetResult(chosen.Put());
  wchar_t* name = nullptr;
  if (SUCCEEDED(got)) got = chosen->GetDisplayName(SIGDN_FILESYSPATH, &name);
  TaskMemory owned(name);
  if (FAILED(got) || name == nullptr) {
    result.status = OpenDialogStatus::Error;
    result.error = static_cast<DWORD>(got);
    return result;
  }
  result.status = OpenDialogStatus::Ok;
  result.path = name;
  return result;
}

// Opens the browser on the initial folder.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data != 0) ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

FolderDialogResult RunFolderBrowser(HWND owner, const FolderDialogOptions& options) {
  const std::wstring title = WidenUtf8(options.title);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.empty() ? nullptr : title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
  info.lpfn = &BrowseCallback;
  info.lParam = options.initialFolder.empty() ? 0 : reinterpret_cast<LPARAM>(options.initialFolder.c_str());
  FolderDialogResult result;
  TaskMemory chosen(::SHBrowseForFolderW(&info));
  if (chosen.p == nullptr) return result;
  std::wstring path(32768, L'\0');
  if (!::SHGetPathFromIDListEx(static_cast<PCIDLIST_ABSOLUTE>(chosen.p), path.data(),
                               static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
    // Not a folder of the file system (a printer, the network's root).
    result.status = OpenDialogStatus::Error;
    result.error = static_cast<DWORD>(E_INVALIDARG);
    return result;
  }
  path.resize(std::wcslen(path.c_str()));
  result.status = OpenDialogStatus::Ok;
  result.path = std::move(path);
  return result;
}

}  // namespace

FolderDialogResult RunFolderDialog(HWND owner, const FolderDialogOptions& options) {
  ComApartment com(COINIT_DISABLE_OLE1DDE);
  if (!options.browserOnly)
    if (std::optional<FolderDialogResult> result = RunItemFolderDialog(owner, options)) return *result;
  return RunFolderBrowser(owner, options);
}

}  // namespace velmora
