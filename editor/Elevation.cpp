#include "editor/Elevation.h"

#include "app/Startup.h"

namespace velmora {

bool OffersElevation(bool isEditorExe, const std::string& exeDirectory, const std::string& systemDir) {
  return isEditorExe || IsSystemDirectory(exeDirectory, systemDir);
}

std::string ElevationMessage(ElevationOutcome outcome, int exitCode, bool saving) {
  const std::string nothing =
      saving ? "這次沒有存檔，系統目錄中原有的檔案都沒有變更。\r\n"
               "Nothing was saved; the files already in the system directory are unchanged."
             : "留在清單中的螢幕保護沒有刪除。\r\n"
               "The savers left in the list were not deleted.";
  const std::string again = saving ? "可以再按一次存檔。\r\nYou can save again."
                                   : "可以再按一次清除。\r\nYou can clear them again.";
  switch (outcome) {
    case ElevationOutcome::Done:
      return {};
    case ElevationOutcome::Declined:
      return "寫入系統目錄需要系統管理員權限，但沒有取得允許。\r\n"
             "Writing to the system directory needs administrator rights, which were not "
             "granted.\r\n\r\n" +
             nothing + "\r\n\r\n" + again;
    case ElevationOutcome::CouldNotStart:
      return "無法以系統管理員權限執行這個步驟。\r\n"
             "The step could not be run with administrator rights.\r\n\r\n" +
             nothing + "\r\n\r\n" + again;
    case ElevationOutcome::Failed:
      return "以系統管理員權限執行的步驟失敗 (代碼 " + std::to_string(exitCode) +
             ")。\r\nThe step run with administrator rights failed (code " +
             std::to_string(exitCode) + ").\r\n\r\n" + nothing + "\r\n\r\n" + again;
  }
  return {};
}

}  // namespace velmora
