// Clearing old savers: which entries of the system directory the clear
// dialog lists, and what "清除" does with the chosen ones. Both files of a
// saver go together or the saver stays listed; savers Windows refuses to
// delete for lack of rights go to one elevated step (when it is offered);
// the user is told what could not be deleted. The dialog is behind
// ClearUserInterface, the files behind SaveFileSystem.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "editor/Elevation.h"
#include "editor/SaverFiles.h"

namespace velmora {

// The clear dialog: the saver names among the entries of the system
// directory (long names ending in ".fms", any letter case, no directories),
// with that ending removed, in the order given.
struct DirectoryEntry {
  std::wstring name;
  bool directory = false;
};
std::vector<std::wstring> SaverNamesIn(const std::vector<DirectoryEntry>& entries);

// A saver chosen in the dialog's list: its place there and its name.
struct ChosenSaver {
  int index = 0;
  std::wstring name;
};

// The dialog's side of a clearing.
class ClearUserInterface {
 public:
  virtual ~ClearUserInterface() = default;
  // Both files of the saver at `index` are gone: it leaves the list. Called
  // from the last chosen saver to the first, so earlier places hold.
  virtual void Deleted(int index) = 0;
  // The elevated step did not succeed (ElevationMessage, UTF-8).
  virtual void ShowElevationFailure(const std::string& message) = 0;
  // After an elevated step: the list is read again from the system directory.
  virtual void Refill() = 0;
  // NotDeletedMessage for the savers left.
  virtual void ShowNotDeleted(const std::wstring& message) = 0;
};

// The name in the system code page when it converts back exactly.
using ExactAnsiName = std::function<std::optional<std::string>(const std::wstring&)>;

// "清除": deletes <name>.scr, then <name>.fms, of each chosen saver (given in
// list order) from `systemDir`. A saver refused for lack of rights, with
// `elevation` given and a name the code page holds, goes to one elevated
// step with the others so refused; the other savers left are named in one
// message.
void ClearOldSavers(const std::vector<ChosenSaver>& chosen, const std::wstring& systemDir,
                    ClearUserInterface& ui, SaveFileSystem& files, SaveElevation* elevation,
                    const ExactAnsiName& exactAnsi);

// The message naming the savers whose files could not be deleted, one a line.
std::wstring NotDeletedMessage(const std::vector<std::wstring>& names);

}  // namespace velmora
