// Per-monitor DPI awareness for the saver's windows. Declared at run time
// (not in the manifest) because only the run and preview modes want it: the
// saver must cover every physical pixel of every monitor, while the editor's
// windows are left to the system's scaling.
#pragma once

namespace velmora {

// Makes the process per-monitor DPI aware, the best way this Windows offers:
// SetProcessDpiAwarenessContext(PER_MONITOR_AWARE_V2) (Windows 10 1703+),
// else SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE) from shcore
// (Windows 8.1+), else SetProcessDPIAware (Vista+). Every entry point is
// looked up at run time, so the program still starts where one is missing.
// Must run before the process creates its first window. Returns false when
// none of them succeeded (already set, or not offered).
bool DeclarePerMonitorDpiAwareness();

}  // namespace velmora
