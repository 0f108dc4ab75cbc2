// The window system's parts of the dialogs on Windows: the dialog base, file
// dialogs, shell and registry.
#include "win32_views.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

namespace quillmark::ui::win32 {

using quillmark::win32::Narrow;
using quillmark::win32::Widen;

std::wstring Shown(std::string_view utf8) {
  return *quillmark::win32::Widen(utf8, quillmark::win32::InvalidText::kReplace);
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

Dialog::~Dialog() {
  if (hwnd_ != nullptr) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
}

INT_PTR Dialog::RunModal(HINSTANCE instance, int templateId, HWND parent) {
  instance_ = instance;
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent, &Dialog::DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
    reinterpret_cast<Dialog*>(lParam)->hwnd_ = hwnd;
  }
  auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (dialog == nullptr) return FALSE;
  INT_PTR result = FALSE;
  const bool handled = dialog->HandleMessage(message, wParam, lParam, result);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    dialog->hwnd_ = nullptr;
  }
  if (!handled) return FALSE;
  // Answers other than TRUE/FALSE go through DWLP_MSGRESULT, except these.
  if (message == WM_INITDIALOG || message == WM_CTLCOLORSTATIC) return result;
  SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

std::optional<std::string> Win32FileChooser::ChooseFileToOpen(const FileDialogOptions& options) {
  return Choose(options, false);
}

std::optional<std::string> Win32FileChooser::ChooseFileToSave(const FileDialogOptions& options) {
  return Choose(options, true);
}

std::optional<std::string> Win32FileChooser::Choose(const FileDialogOptions& options, bool save) {
  // The filter's "|" separators become the NULs the dialog wants.
  std::wstring filter = Shown(options.filter);
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  // A starting place or name that cannot be converted is left out: the
  // dialog then starts where the system chooses.
  const std::wstring directory = Widen(options.initialDirectory).value_or(std::wstring());
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring initial = Widen(options.initialFile).value_or(std::wstring());
  initial.copy(file.data(), file.size() - 1);
  const std::wstring extension = Shown(options.defaultExtension);

  OPENFILENAMEW request = {};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner_;
  request.lpstrFilter = filter.c_str();
  request.lpstrFile = file.data();
  request.nMaxFile = static_cast<DWORD>(file.size());
  request.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
  request.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  request.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
  if (options.hideReadOnly) request.Flags |= OFN_HIDEREADONLY;
  if (options.overwritePrompt) request.Flags |= OFN_OVERWRITEPROMPT;
  const BOOL chosen = save ? GetSaveFileNameW(&request) : GetOpenFileNameW(&request);
  if (!chosen) return std::nullopt;
  // A name holding an unpaired surrogate has no UTF-8 form: the choice is
  // refused audibly rather than taken for another file.
  std::optional<std::string> path = Narrow(file.data());
  if (!path) MessageBeep(MB_ICONEXCLAMATION);
  return path;
}

namespace {

// A failed program start as the shell's failure codes, which the link's error
// table explains; an error the table has no row for keeps its own number,
// negated, so that it reads as neither success nor another failure.
int StartFailureCode(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return 2;
    case ERROR_PATH_NOT_FOUND:
      return 3;
    case ERROR_ACCESS_DENIED:
      return 5;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return 8;
    case ERROR_BAD_FORMAT:
    case ERROR_BAD_EXE_FORMAT:
      return 11;
    case ERROR_SHARING_VIOLATION:
      return 26;
    case ERROR_NO_ASSOCIATION:
      return 31;
    case ERROR_MOD_NOT_FOUND:
    case ERROR_DLL_NOT_FOUND:
      return 32;
    default:
      return -static_cast<int>(error);
  }
}

}  // namespace

int Win32LinkShell::ShellOpen(const std::string& address, int show) {
  const std::optional<std::wstring> wide = Widen(address);
  if (!wide) return StartFailureCode(ERROR_NO_UNICODE_TRANSLATION);
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", wide->c_str(), nullptr, nullptr, show);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

std::optional<std::string> Win32LinkShell::ReadClassesRootValue(const std::string& key) {
  const std::optional<std::wstring> wideKey = Widen(key);
  HKEY handle = nullptr;
  if (!wideKey || RegOpenKeyExW(HKEY_CLASSES_ROOT, wideKey->c_str(), 0, KEY_QUERY_VALUE, &handle) !=
                      ERROR_SUCCESS)
    return std::nullopt;
  std::vector<wchar_t> value(520, L'\0');
  DWORD bytes = static_cast<DWORD>((value.size() - 1) * sizeof(wchar_t));
  DWORD type = 0;
  const LONG status = RegQueryValueExW(handle, nullptr, nullptr, &type,
                                       reinterpret_cast<BYTE*>(value.data()), &bytes);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  return Narrow(value.data());
}

int Win32LinkShell::StartProgram(const std::string& commandLine, int show) {
  std::optional<std::wstring> line = Widen(commandLine);
  if (!line) return StartFailureCode(ERROR_NO_UNICODE_TRANSLATION);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, line->data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return StartFailureCode(GetLastError());
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 33;
}

}  // namespace quillmark::ui::win32
