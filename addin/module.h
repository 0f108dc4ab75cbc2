// Module-wide state of the COM server: the instance handle, the lock count
// that DllCanUnloadNow reads, and the name that captions message boxes.
#pragma once

#include <windows.h>

#include <string>

namespace quillmark::addin {

HINSTANCE ModuleInstance();
// Every live COM object of the module holds one lock from creation to
// destruction; so does every outside reference to the class factory.
void LockModule();
void UnlockModule();

// The module file's name without directory and extension: the caption of
// every message box (a renamed module shows its new name).
std::wstring ModuleBaseName();
std::wstring LoadResourceString(UINT id);

// Reference counting for the module's COM objects: interlocked, a module lock
// per object, destruction on the last release.
class RefCounted {
 public:
  RefCounted() { LockModule(); }
  virtual ~RefCounted() { UnlockModule(); }
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

 protected:
  ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG ReleaseImpl() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 private:
  LONG references_ = 1;
};

}  // namespace quillmark::addin
