// Asking Windows to run one system-directory step of the program elevated
// (the program's own executable in its elevated mode, waited for): when it
// is offered, what the editor asks of it, and what the user is told when it
// does not succeed.
#pragma once

#include <string>
#include <vector>

namespace velmora {

enum class ElevationOutcome {
  Done,           // the elevated step ran and succeeded
  Declined,       // the user refused the prompt
  CouldNotStart,  // the elevated process could not be started
  Failed,         // it ran and ended with a failure (its exit code is given)
};

class SaveElevation {
 public:
  virtual ~SaveElevation() = default;
  // A fresh, empty staging folder of the program's own (8-bit path); empty
  // when none could be made.
  virtual std::string MakeStagingFolder() = 0;
  // Removes the staging folder and whatever is in it.
  virtual void RemoveStagingFolder(const std::string& folder) = 0;
  // Places <staging>\<name>.fms (and .scr with `withExecutable`) in the
  // system directory; `exitCode` gets the elevated process's exit code.
  virtual ElevationOutcome Place(const std::string& staging, const std::string& name,
                                 bool withExecutable, int& exitCode) = 0;
  // Deletes the savers of these names from the system directory.
  virtual ElevationOutcome Clear(const std::vector<std::string>& names, int& exitCode) = 0;
};

// Whether a step refused for lack of rights is offered to the elevated
// mode: always from the editor's own executable; from a saver only when it
// runs from the system directory (`exeDirectory` with its trailing
// backslash), never from a copy sitting in a folder the user may write to.
bool OffersElevation(bool isEditorExe, const std::string& exeDirectory, const std::string& systemDir);

// The message for an elevated step that did not succeed (UTF-8); `saving`
// tells a save from a clearing.
std::string ElevationMessage(ElevationOutcome outcome, int exitCode, bool saving);

}  // namespace velmora
