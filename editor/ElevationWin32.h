// The system-directory steps a standard user may not do: the editor's side
// (a staging folder of its own, the UAC prompt through ShellExecuteExW with
// "runas", waited for) and the elevated process's side (checks everything it
// is given, then places or deletes files).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "editor/EditorWindowsWin32.h"
#include "editor/SaveShow.h"

namespace velmora {

// Runs the program's own executable elevated. `owner` (may be null) owns
// the prompt and is disabled while the elevated step runs.
class ShellElevation : public SaveElevation {
 public:
  explicit ShellElevation(HWND owner) : owner_(owner) {}
  std::string MakeStagingFolder() override;
  void RemoveStagingFolder(const std::string& folder) override;
  ElevationOutcome Place(const std::string& staging, const std::string& name, bool withExecutable,
                         int& exitCode) override;
  ElevationOutcome Clear(const std::vector<std::string>& names, int& exitCode) override;

  // Runs `arguments` elevated and waits for the end.
  ElevationOutcome RunElevated(const std::vector<std::wstring>& arguments, int& exitCode);

 private:
  HWND owner_;  // not owned
};

// One argument quoted for a command line as CommandLineToArgvW splits it.
std::wstring QuoteArgument(const std::wstring& argument);

// The elevated mode: `arguments` are the process's arguments after the
// program name, the first one naming the step. Returns an ElevatedExit as
// the process's exit code. No windows, no message loop.
int RunElevatedStep(ElevatedStep step, const std::vector<std::wstring>& arguments);

}  // namespace velmora
