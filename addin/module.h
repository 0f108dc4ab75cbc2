// Module-wide state of the COM server: the instance handle, the lock count
// that DllCanUnloadNow reads, and the name that captions message boxes.
#pragma once

#include <windows.h>

#include <exception>
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

// Shows "internal error: WHAT: DETAIL" in a message box, for failures where
// nothing may be raised any more; short of memory it still shows that
// something failed.
void ShowFailure(const char* what, const char* detail) noexcept;

// Runs `work`; what it raises is shown, never left to escape a COM method or
// a destructor. False when something was raised.
template <typename Work>
bool ShowingFailures(const char* what, Work&& work) noexcept {
  try {
    work();
    return true;
  } catch (const std::exception& e) {
    ShowFailure(what, e.what());
  } catch (...) {
    ShowFailure(what, "unknown exception");
  }
  return false;
}

// Raises a fault the Windows tests ask for (QM_FAULT names `where`) in the
// module built for them; nothing in the module users install.
#ifdef QUILLMARK_FAULT_HOOKS
void RaiseTestFault(const char* where);
#else
inline void RaiseTestFault(const char*) {}
#endif

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
