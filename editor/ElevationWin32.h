// The editor's side of the elevated step on Windows: a staging folder of
// its own and the UAC prompt through ShellExecuteExW with "runas", waited
// for. The elevated process's side is editor/ElevatedStepWin32.h.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "editor/Elevation.h"

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

// `text` in the system code page, when it converts back exactly: the only
// names and paths handed to or taken by the elevated step.
std::optional<std::string> AnsiExactly(const std::wstring& text);

}  // namespace velmora
