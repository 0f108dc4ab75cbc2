// The module's entry points: DllMain, DllGetClassObject, DllCanUnloadNow and
// the class factory of the add-in class.
#include "module.h"

#include <new>
#include <stdexcept>

#include "dsaddin.h"
#include "interfaces.h"
#include "quillmark/wide.h"
#include "quillmark/win32_platform.h"

namespace quillmark::addin {
namespace {

// Set once when the module is loaded, read-only afterwards.
HINSTANCE g_instance = nullptr;
// The lock count COM's contract asks a DLL server to keep.
LONG g_locks = 0;

// The one class factory; static, so its references only lock the module.
class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    LockModule();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    UnlockModule();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    DSAddIn* addIn = new (std::nothrow) DSAddIn();
    if (addIn == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = addIn->QueryInterface(iid, out);
    addIn->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return S_OK;
  }
};

ClassFactory g_factory;

}  // namespace

HINSTANCE ModuleInstance() {
  return g_instance;
}

void LockModule() {
  InterlockedIncrement(&g_locks);
}

void UnlockModule() {
  InterlockedDecrement(&g_locks);
}

std::wstring ModuleBaseName() {
  std::wstring name = win32::ModuleFileName(g_instance).value_or(L"QUILLMARK");
  const std::size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

void ShowFailure(const char* what, const char* detail) noexcept {
  // What was raised may say anything in any encoding: shown only, so what
  // is not UTF-8 is shown as U+FFFD rather than lost with the rest.
  const wchar_t* text = L"internal error";
  const wchar_t* caption = L"QUILLMARK";
  std::wstring built;
  std::wstring name;
  try {
    built = *win32::Widen(std::string("internal error: ") + what + ": " + detail,
                          win32::InvalidText::kReplace);
    text = built.c_str();
    name = ModuleBaseName();
    caption = name.c_str();
  } catch (const std::bad_alloc&) {
    // Out of memory: the box still says that something failed.
  }
  MessageBoxW(GetActiveWindow(), text, caption, MB_OK | MB_ICONEXCLAMATION);
}

#ifdef QUILLMARK_FAULT_HOOKS
void RaiseTestFault(const char* where) {
  char wanted[64] = "";
  const DWORD got = GetEnvironmentVariableA("QM_FAULT", wanted, sizeof wanted);
  if (got > 0 && got < sizeof wanted && lstrcmpA(wanted, where) == 0)
    throw std::runtime_error(std::string("test fault at ") + where);
}
#endif

std::wstring LoadResourceString(UINT id) {
  const wchar_t* text = nullptr;
  // With a zero length, LoadStringW hands out a pointer into the resource.
  const int length = LoadStringW(g_instance, id, reinterpret_cast<wchar_t*>(&text), 0);
  if (length <= 0 || text == nullptr) return std::wstring();
  return std::wstring(text, static_cast<std::size_t>(length));
}

}  // namespace quillmark::addin

using quillmark::addin::g_factory;
using quillmark::addin::g_instance;
using quillmark::addin::g_locks;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return InterlockedCompareExchange(&g_locks, 0, 0) == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, quillmark::addin::kClsidDSAddIn)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}
