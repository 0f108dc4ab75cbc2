// Self-registration: the add-in class's entries under HKEY_CLASSES_ROOT and
// the embedded type library.
#include <windows.h>

#include <exception>
#include <new>
#include <string>

#include "interfaces.h"
#include "module.h"
#include "quillmark/wide.h"
#include "quillmark/win32_platform.h"
#include "resource_ids.h"

namespace quillmark::addin {
namespace {

constexpr wchar_t kProgId[] = L"Quillmark.DSAddIn.1";
// Not a dotted name: the IDE lists the add-in under it.
constexpr wchar_t kVersionIndependentProgId[] = L"QUILLMARK VC Add-in(墨翎)";

// Sets `name` (empty: the default value) of `subkey` under HKCR, creating keys.
LONG SetValue(const std::wstring& subkey, const wchar_t* name, const std::wstring& data) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status;
}

// Each subkey first, one after another, then the key; failures are ignored.
void DeleteKeyTree(HKEY parent, const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
  for (int guard = 0; guard < 100000; ++guard) {
    wchar_t child[257];
    DWORD length = 257;
    if (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    const std::wstring before(child, length);
    DeleteKeyTree(key, before);
    // A subkey that cannot be deleted would come back first forever.
    HKEY still = nullptr;
    if (RegOpenKeyExW(key, before.c_str(), 0, KEY_READ, &still) == ERROR_SUCCESS) {
      RegCloseKey(still);
      break;
    }
  }
  RegCloseKey(key);
  RegDeleteKeyW(parent, name.c_str());
}

HRESULT FromWin32(LONG status) {
  return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

// What escaped a registration call, said where a debugger sees it (regsvr32
// shows only the status), and the status that says it failed.
HRESULT Escaped(const char* what) noexcept {
  OutputDebugStringA("QUILLMARK: registration failed: ");
  OutputDebugStringA(what);
  OutputDebugStringA("\n");
  return E_UNEXPECTED;
}

// The failed call's error; `otherwise` when it left none (never S_OK).
HRESULT LastErrorOr(HRESULT otherwise) {
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? otherwise : FromWin32(static_cast<LONG>(error));
}

// The class entries, rows 1 to 9: the ProgID pair first, the version-
// independent pair only after it, then the class key.
HRESULT RegisterClassEntries(const std::wstring& modulePath) {
  const std::wstring description = LoadResourceString(IDS_PROJNAME).substr(0, 255);
  const std::wstring clsid = kClsidDSAddInText;
  const std::wstring classKey = L"CLSID\\" + clsid;
  const struct {
    std::wstring key;
    const wchar_t* name;
    std::wstring data;
  } kRows[] = {
      {kProgId, nullptr, description},
      {std::wstring(kProgId) + L"\\CLSID", nullptr, clsid},
      {kVersionIndependentProgId, nullptr, description},
      {std::wstring(kVersionIndependentProgId) + L"\\CLSID", nullptr, clsid},
      {classKey, nullptr, description},
      {classKey + L"\\ProgID", nullptr, kProgId},
      {classKey + L"\\VersionIndependentProgID", nullptr, kVersionIndependentProgId},
      {classKey + L"\\InprocServer32", nullptr, modulePath},
      {classKey + L"\\InprocServer32", L"ThreadingModel", L"both"},
  };
  for (const auto& row : kRows) {
    const LONG status = SetValue(row.key, row.name, row.data);
    if (status != ERROR_SUCCESS) return FromWin32(status);
  }
  return S_OK;
}

// From the module itself, else from the same path with ".tlb" for its
// extension; the help directory is that path's directory.
HRESULT RegisterTypeLibrary(const std::wstring& modulePath) {
  std::wstring path = modulePath;
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(hr)) {
    const std::size_t dot = path.find_last_of(L'.');
    const std::size_t slash = path.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) {
      path.replace(dot, std::wstring::npos, L".tlb");
    } else {
      path += L".tlb";
    }
    hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  std::wstring helpDirectory = slash == std::wstring::npos ? L"" : path.substr(0, slash);
  hr = RegisterTypeLib(library, path.data(), helpDirectory.data());
  library->Release();
  return hr;
}

}  // namespace
}  // namespace quillmark::addin

using namespace quillmark::addin;

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  try {
    const std::optional<std::wstring> path = quillmark::win32::ModuleFileName(ModuleInstance());
    if (!path) return LastErrorOr(E_FAIL);
    // The settings file is found through the module's UTF-8 path: a module
    // whose path has none would register and then never find it.
    if (!quillmark::win32::Narrow(*path)) return FromWin32(ERROR_NO_UNICODE_TRANSLATION);
    const std::wstring& modulePath = *path;

    HRESULT hr = RegisterClassEntries(modulePath);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLibrary(modulePath);
    if (FAILED(hr)) return hr;

    // Row 10, under the class key opened with full access.
    HKEY classes = nullptr;
    LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS, &classes);
    if (status != ERROR_SUCCESS) return FromWin32(status);
    HKEY classKey = nullptr;
    status = RegOpenKeyExW(classes, kClsidDSAddInText, 0, KEY_ALL_ACCESS, &classKey);
    RegCloseKey(classes);
    if (status != ERROR_SUCCESS) return FromWin32(status);
    HKEY description = nullptr;
    status = RegCreateKeyExW(classKey, L"Description", 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_WRITE, nullptr, &description, nullptr);
    RegCloseKey(classKey);
    if (status != ERROR_SUCCESS) return FromWin32(status);
    const std::wstring text = LoadResourceString(IDS_ADDIN_DESCRIPTION);
    status =
        RegSetValueExW(description, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(description);
    return status == ERROR_SUCCESS ? S_OK : FromWin32(status);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    return Escaped(e.what());
  } catch (...) {
    return Escaped("unknown exception");
  }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  try {
    DeleteKeyTree(HKEY_CLASSES_ROOT, kProgId);
    DeleteKeyTree(HKEY_CLASSES_ROOT, kVersionIndependentProgId);
    DeleteKeyTree(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsidDSAddInText);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;  // regsvr32 says the unregistration failed
  } catch (const std::exception& e) {
    return Escaped(e.what());
  } catch (...) {
    return Escaped("unknown exception");
  }
  return S_OK;
}
