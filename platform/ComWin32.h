// COM for the Win32 layer: one reference released with its owner, and the
// apartment a thread takes before it uses COM.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace velmora {

// One reference to a COM object, released with the owner.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For a call that hands out a new reference.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// COM on this thread for the owner's life, apartment threaded (the imaging
// component and the shell's dialogs take it so, and the user interface
// thread keeps OLE: drag and drop, the file dialogs); a thread initialised
// already keeps its own model.
class ComApartment {
 public:
  explicit ComApartment(DWORD extraFlags = 0)
      : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | extraFlags)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT result_;
};

// COM on the calling thread, taken once and kept until the thread ends.
inline void EnsureCom() { thread_local ComApartment apartment; }

}  // namespace velmora
