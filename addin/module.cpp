// The module's entry points: DllMain, DllGetClassObject, DllCanUnloadNow and
// the class factory of the add-in class.
#include "module.h"

#include <new>
#include <stdexcept>

#include "dsaddin.h"
#include "interfaces.h"
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
  wchar_t path[MAX_PATH * 4];
  const DWORD got = GetModuleFileNameW(g_instance, path, MAX_PATH * 4);
  if (got == 0 || got >= MAX_PATH * 4) return L"QUILLMARK";
  std::wstring name(path, got);
  const std::size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

namespace {

// Appends `utf8` to the fixed buffer, cutting it when full.
void Append(wchar_t* buffer, int capacity, const char* utf8) noexcept {
  const int used = lstrlenW(buffer);
  if (used >= capacity - 1) return;
  const int got = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer + used, capacity - used);
  if (got == 0) buffer[capacity - 1] = L'\0';
}

}  // namespace

void ShowFailure(const char* what, const char* detail) noexcept {
  wchar_t text[1024] = L"";
  Append(text, 1024, "internal error: ");
  Append(text, 1024, what);
  Append(text, 1024, ": ");
  Append(text, 1024, detail);
  wchar_t caption[MAX_PATH] = L"QUILLMARK";
  wchar_t path[MAX_PATH];
  const DWORD got = GetModuleFileNameW(g_instance, path, MAX_PATH);
  if (got > 0 && got < MAX_PATH) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p)
      if (*p == L'\\' || *p == L'/') name = p + 1;
    lstrcpynW(caption, name, MAX_PATH);
    for (wchar_t* p = caption + lstrlenW(caption); p > caption; --p) {
      if (p[-1] != L'.') continue;
      p[-1] = L'\0';
      break;
    }
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
