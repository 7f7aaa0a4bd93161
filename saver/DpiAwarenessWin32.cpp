#include "saver/DpiAwarenessWin32.h"

#include <windows.h>

namespace velmora {

namespace {

// The values of the newer SDK headers, spelt out so that older headers build.
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));
constexpr int kProcessPerMonitorDpiAware = 2;

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

bool DeclarePerMonitorDpiAwareness() {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");

  using SetContext = BOOL(WINAPI*)(HANDLE);
  if (auto setContext = Lookup<SetContext>(user32, "SetProcessDpiAwarenessContext")) {
    if (setContext(kPerMonitorAwareV2)) return true;
  }

  // shcore.dll exists from Windows 8.1 on; loaded only for this one call.
  if (HMODULE shcore = ::LoadLibraryW(L"shcore.dll")) {
    using SetAwareness = HRESULT(WINAPI*)(int);
    bool done = false;
    if (auto setAwareness = Lookup<SetAwareness>(shcore, "SetProcessDpiAwareness"))
      done = SUCCEEDED(setAwareness(kProcessPerMonitorDpiAware));
    ::FreeLibrary(shcore);
    if (done) return true;
  }

  using SetAware = BOOL(WINAPI*)();
  if (auto setAware = Lookup<SetAware>(user32, "SetProcessDPIAware")) return setAware() != FALSE;
  return false;
}

}  // namespace velmora
