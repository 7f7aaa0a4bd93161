// Start-up values and the command-line rules of the screen-saver protocol.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

enum class SaverMode : std::uint8_t { ChangePassword = 0, Preview = 1, Configure = 2, Run = 3 };

struct CommandLine {
  std::string FirstArg;   // upper-cased (a to z only)
  std::string SecondArg;  // upper-cased (a to z only)
  SaverMode Mode = SaverMode::Run;
};

// Upper-cases a to z only; every other byte is kept.
std::string UpperAscii(std::string text);

// Chooses the mode from the first two arguments (either may be empty).
CommandLine ParseCommandLine(const std::string& first, const std::string& second);

// Reads a window handle given in decimal; false when the text is not a
// whole decimal number that fits (then no window is created).
bool ParseWindowHandle(const std::string& text, std::intptr_t& handle);

// The part of an executable's file name (no directory) before its first dot;
// empty when it has none.
std::string SaverBaseNameOf(const std::string& fileName);
// True when the file name, upper-cased, is the editor's own "VELMORA.EXE".
bool IsEditorExeName(const std::string& fileName);
// True when exeDirectory (with its trailing backslash) is systemDir.
bool IsSystemDirectory(const std::string& exeDirectory, const std::string& systemDir);

// Process-wide values set at start-up and read by the player, the saver
// window and the editor.
extern SaverMode Mode;
extern std::string FirstArg;
extern std::string SecondArg;
extern std::string SystemDir;
extern std::string SaverBaseName;
extern bool IsEditorExe;
extern std::intptr_t PreviewParent;

}  // namespace velmora
