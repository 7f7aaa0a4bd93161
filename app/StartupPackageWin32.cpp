#include "app/StartupPackageWin32.h"

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "editor/Export.h"
#include "frames/FrameSet.h"
#include "frames/ShowPackage.h"
#include "platform/ApplicationWin32.h"
#include "platform/DialogsWin32.h"
#include "platform/SystemPathsWin32.h"

namespace velmora {

bool UseCarriedShow(const std::wstring& exePath, SaverMode mode) {
  std::shared_ptr<const DiskPackageFile> file = DiskPackageFile::Open(std::filesystem::path(exePath));
  if (!file) return true;
  PackageProblem problem = PackageProblem::None;
  std::shared_ptr<const ShowPackage> package = ShowPackage::Open(file, problem);
  if (problem == PackageProblem::NoPackage) return true;

  // A saver of this PC: its frame-set file beside it in the system directory
  // is the show (what the editor saved last).
  const std::string exeAnsi = NarrowToAnsi(exePath);
  if (IsSystemDirectory(DirectoryOfPath(exeAnsi), SystemDir) &&
      ::GetFileAttributesA(FrameSetPath(SaverBaseName).c_str()) != INVALID_FILE_ATTRIBUTES)
    return true;

  if (!package) {
    if (mode == SaverMode::Configure) {
      ShowMessage(nullptr,
                  "這個螢幕保護檔所帶的幻燈片已損壞, 無法開啟:\n" + NarrowToUtf8(exePath) + "\n(" +
                      PackageProblemText(problem) + ")",
                  MessageKind::Error);
      return false;
    }
    SetCarriedFrameSet(std::vector<std::uint8_t>{});  // nothing plays
    return true;
  }

  if (mode != SaverMode::Configure) {
    SetPictureSource(std::make_shared<PackagePictures>(package));
    SetCarriedFrameSet(package->RecordBytes());
    return true;
  }

  // The editor works on files of the user's own: the pictures are taken out
  // to a folder named after the show.
  FrameRecord header;
  std::memcpy(&header, package->RecordBytes().data(), FrameRecordSize);
  const std::string showName = header.Path().empty() ? SaverBaseName : header.Path();
  const std::wstring base = ReadLocalAppDataFolder();
  const std::string folder = TakeOutFolder(NarrowToAnsi(base) + "\\" + NarrowToAnsi(kTakeOutBase), showName);
  std::vector<std::uint8_t> records;
  const bool taken = !base.empty() && TakeOutShow(*package, folder,
                                                  [](const std::string& ansi) {
                                                    return std::filesystem::path(WidenAnsi(ansi));
                                                  },
                                                  records);
  if (!taken) {
    ShowMessage(nullptr, "無法取出這個螢幕保護的圖片到:\n" + NarrowToUtf8(WidenAnsi(folder)), MessageKind::Error);
    return false;
  }
  SetCarriedFrameSet(std::move(records));
  return true;
}

}  // namespace velmora
