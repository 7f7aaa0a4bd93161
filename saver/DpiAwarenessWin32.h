// Per-monitor DPI awareness for the whole program. The manifest declares it
// (PerMonitorV2, else per-monitor); this run-time call is the fallback for a
// Windows that reads no DPI setting from the manifest. The saver covers
// every physical pixel of every monitor; the editor's forms scale their
// 96-DPI tables to each window's DPI.
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
