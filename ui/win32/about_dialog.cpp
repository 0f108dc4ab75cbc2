// The about dialog (template 129) and the hyperlink control on Win32.
#include "win32_views.h"

#include <commctrl.h>

namespace quillmark::ui::win32 {
namespace {

// The tooltip record as the common controls of an unmanifested 32-bit host
// (version 5) accept it: they refuse the newer, larger record.
const UINT kToolInfoSize = TTTOOLINFOW_V2_SIZE;

constexpr UINT_PTR kLinkSubclass = 1;
constexpr UINT_PTR kToolId = 1;
constexpr int kHandCursorId = 106;  // in winhlp32.exe

}  // namespace

HyperLinkControl::~HyperLinkControl() {
  if (hwnd_ != nullptr) RemoveWindowSubclass(hwnd_, &HyperLinkControl::Proc, kLinkSubclass);
  if (toolTip_ != nullptr) DestroyWindow(toolTip_);
  if (underlineFont_ != nullptr) DeleteObject(underlineFont_);
  if (linkCursor_ != nullptr) DestroyCursor(linkCursor_);
}

void HyperLinkControl::Attach(HWND control) {
  hwnd_ = control;
  LinkState& state = link_.state;
  const std::wstring text = WindowText(hwnd_);
  // A text with no UTF-8 form gives no address; the dialog sets one anyway.
  if (state.url.empty()) state.url = quillmark::win32::Narrow(text).value_or(std::string());
  if (text.empty()) SetWindowTextW(hwnd_, Shown(state.url).c_str());

  if (auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0))) {
    LOGFONTW description = {};
    GetObjectW(font, sizeof description, &description);
    description.lfUnderline = (state.linkStyle & kLinkUnderline) != 0;
    underlineFont_ = CreateFontIndirectW(&description);
    if (underlineFont_ != nullptr)
      SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(underlineFont_), TRUE);
    PositionWindow();
  } else {
    state.linkStyle &= ~static_cast<std::uint32_t>(kLinkAutoSize);
  }
  if ((state.linkStyle & kLinkNoHandCursor) == 0) LoadLinkCursor();

  toolTip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)),
                             nullptr);
  std::wstring tip = Shown(state.url);
  TTTOOLINFOW tool = {};
  tool.cbSize = kToolInfoSize;
  tool.hwnd = hwnd_;
  tool.uId = kToolId;
  tool.lpszText = tip.data();
  GetClientRect(hwnd_, &tool.rect);
  SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SetWindowSubclass(hwnd_, &HyperLinkControl::Proc, kLinkSubclass,
                    reinterpret_cast<DWORD_PTR>(this));
}

void HyperLinkControl::SetURL(const std::string& url) {
  link_.state.url = url;
  if (hwnd_ == nullptr) return;
  ShowWindow(hwnd_, SW_HIDE);
  PositionWindow();
  std::wstring tip = Shown(url);
  TTTOOLINFOW tool = {};
  tool.cbSize = kToolInfoSize;
  tool.hwnd = hwnd_;
  tool.uId = kToolId;
  tool.lpszText = tip.data();
  SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  ShowWindow(hwnd_, SW_SHOW);
}

HBRUSH HyperLinkControl::OnColour(HDC dc) {
  const Colour c = link_.TextColour();
  SetTextColor(dc, RGB(c.red, c.green, c.blue));
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void HyperLinkControl::LoadLinkCursor() {
  if (linkCursor_ != nullptr) return;
  wchar_t directory[MAX_PATH] = {};
  GetWindowsDirectoryW(directory, MAX_PATH);
  const std::wstring path = std::wstring(directory) + L"\\winhlp32.exe";
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return;
  if (auto cursor = static_cast<HCURSOR>(
          LoadImageW(module, MAKEINTRESOURCEW(kHandCursorId), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE)))
    linkCursor_ = CopyCursor(cursor);
  FreeLibrary(module);
}

void HyperLinkControl::PositionWindow() {
  if ((link_.state.linkStyle & kLinkAutoSize) == 0 || hwnd_ == nullptr) return;
  HWND parent = GetParent(hwnd_);
  RECT window = {};
  RECT client = {};
  GetWindowRect(hwnd_, &window);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
  GetClientRect(hwnd_, &client);
  const std::wstring text = WindowText(hwnd_);
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, underlineFont_);
  SIZE extent = {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
  const LONG kind = style & SS_TYPEMASK;
  const LinkAlign align = kind == SS_CENTER  ? LinkAlign::kCentre
                          : kind == SS_RIGHT ? LinkAlign::kRight
                                             : LinkAlign::kLeft;
  const Rect fitted =
      FitLinkToText({window.left, window.top, window.right, window.bottom}, client.right,
                    client.bottom, extent.cx, extent.cy, align, (style & SS_CENTERIMAGE) != 0);
  MoveWindow(hwnd_, fitted.left, fitted.top, fitted.Width(), fitted.Height(), TRUE);
}

void HyperLinkControl::TakeFocus() {
  SetFocus(hwnd_);
}

void HyperLinkControl::Repaint() {
  // The background is the parent's: it is drawn again behind the text.
  RECT r = {};
  GetWindowRect(hwnd_, &r);
  HWND parent = GetParent(hwnd_);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  InvalidateRect(parent, &r, TRUE);
}

void HyperLinkControl::CaptureMouse() {
  SetCapture(hwnd_);
}

void HyperLinkControl::ReleaseMouse() {
  ReleaseCapture();
}

void HyperLinkControl::Beep() {
  MessageBeep(MB_ICONEXCLAMATION);
}

LRESULT CALLBACK HyperLinkControl::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<HyperLinkControl*>(data);
  if (self->toolTip_ != nullptr && message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
    MSG relayed = {hwnd, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
    SendMessageW(self->toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  }
  switch (message) {
    case WM_SETCURSOR:
      if (self->linkCursor_ == nullptr) return FALSE;
      SetCursor(self->linkCursor_);
      return TRUE;
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_MOUSEMOVE: {
      RECT client = {};
      GetClientRect(hwnd, &client);
      const POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      self->link_.OnMouseMove(PtInRect(&client, at) != FALSE);
      return 0;
    }
    case WM_LBUTTONDOWN:
      self->link_.OnLeftButtonDown();
      return 0;
    case WM_LBUTTONUP:
      self->link_.OnLeftButtonUp();
      return 0;
    case WM_KEYDOWN:
      if (self->link_.OnKeyDown(static_cast<int>(wParam))) return 0;
      break;
    case WM_SETFOCUS:
      self->link_.OnFocusGained();
      return 0;
    case WM_KILLFOCUS:
      self->link_.OnFocusLost();
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &HyperLinkControl::Proc, kLinkSubclass);
      self->hwnd_ = nullptr;
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool AboutDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      link_.Attach(GetDlgItem(hwnd_, kIdLink));
      SetDlgItemTextW(hwnd_, kIdAuthorLine, Shown(about::kAuthorAtStart).c_str());
      link_.SetURL(about::kUrl);
      result = TRUE;  // the system chooses the focus
      return true;
    case WM_CTLCOLORSTATIC:
      // The colour query, reflected to the link it concerns.
      if (reinterpret_cast<HWND>(lParam) != link_.Window()) return false;
      result = reinterpret_cast<INT_PTR>(link_.OnColour(reinterpret_cast<HDC>(wParam)));
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd_, LOWORD(wParam));
        return true;
      }
      return false;
  }
  return false;
}

}  // namespace quillmark::ui::win32
