// The elevated mode on Windows: what start-up calls when the first argument
// asks for an elevated step (see editor/ElevatedStep.h). It checks
// everything it is given, then places or deletes files in the system
// directory. No windows, no message loop.
#pragma once

// Before any header naming SaveFileSystem::CopyFile: <windows.h> renames it.
#include <windows.h>

#include <string>
#include <vector>

#include "editor/ElevatedStep.h"

namespace velmora {

// `arguments` are the process's arguments after the program name, the first
// one naming the step. Returns an ElevatedExit as the process's exit code.
int RunElevatedStep(ElevatedStep step, const std::vector<std::wstring>& arguments);

}  // namespace velmora
