// The program's entry point: everything happens in RunVelmora.
#include <windows.h>

#include "app/StartupWin32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return velmora::RunVelmora(instance); }
