// The program's start-up on Windows: reads the screen-saver command line,
// chooses the mode, changes the password or takes the single-instance
// semaphore, checks the executable's name and place, creates the windows of
// the mode and runs the message loop.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

// Name of the semaphore whose existence marks a running editor, saver or
// preview.
inline constexpr char kInstanceSemaphoreName[] = "SimpleSaverSemaphore";
// The text shown when the editor's own executable runs from the system directory.
inline constexpr wchar_t kSystemDirectoryRefusal[] = L"Can not run under system directory !";
// Caption of the program's message boxes.
inline constexpr wchar_t kProgramTitle[] = L"Velmora 99";
// How long start-up waits for a preview host window to become visible before
// giving up (the host may never show, or the handle may name a window that
// is being torn down).
inline constexpr DWORD kPreviewHostWaitMs = 10000;

struct RawArguments {
  std::string first;   // as given, in the ANSI code page; empty when missing
  std::string second;  // as given, in the ANSI code page; empty when missing
};

// Splits the process's command line with the system's own rules
// (CommandLineToArgvW: quotes group, backslashes before quotes escape) and
// converts the first two arguments after the program name to the ANSI code
// page.
RawArguments ReadProcessArguments();

// Runs the whole program; returns the process exit code.
int RunVelmora(HINSTANCE instance);

}  // namespace velmora
