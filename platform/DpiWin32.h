// The DPI of windows and of the system, read through entry points looked up
// at run time, so that the program still runs on a Windows that lacks them
// (they came with Windows 10 1607); there the screen's DPI stands in.
#pragma once

#include <windows.h>

namespace velmora {

// The DPI the window is drawn at (GetDpiForWindow); without that entry
// point, or for no window, the system DPI.
int DpiOfWindow(HWND window);
// The system DPI (GetDpiForSystem, else the screen DC's LOGPIXELSY).
int SystemDpi();
// AdjustWindowRectEx for a window at `dpi` (AdjustWindowRectExForDpi where
// it exists).
bool AdjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi);

}  // namespace velmora
