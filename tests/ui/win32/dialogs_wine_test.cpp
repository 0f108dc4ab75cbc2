// The Win32 dialogs on a real window system (Wine under Xvfb): each runs
// modally while a timer in its message loop drives it with the messages a
// user's clicks and keys would send, checks what it shows and what reaches
// the settings, photographs it, and closes it.
//   dialogs_wine_test.exe OUTPUT_DIR      (exit status 0 when every check held)
#include "win32_views.h"

#include <windowsx.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "../presenter_test_support.h"

namespace quillmark::ui::win32 {
namespace {

// The test's own texts are valid UTF-8.
std::wstring Widen(std::string_view utf8) {
  return quillmark::win32::Widen(utf8).value();
}

struct Checks {
  int failures = 0;
  void Expect(bool ok, const char* what) {
    if (ok) return;
    ++failures;
    std::fprintf(stderr, "FAIL: %s\n", what);
  }
};

// Group "G" with kinds "A" and "B"; a file the dialog may load or save.
class FakeSettings final : public SettingsModel {
 public:
  FakeSettings() { Reset(); }
  void Reset() {
    root = std::make_unique<TemplateNode>();
    root->name = "G";
    root->firstChild = std::make_unique<TemplateNode>();
    root->firstChild->name = "A";
    root->firstChild->lines = {"a1", "a2"};
    root->firstChild->next = std::make_unique<TemplateNode>();
    root->firstChild->next->name = "B";
    root->firstChild->next->lines = {"b1"};
    user = {"Company Name", "Author Name"};
  }
  TemplateNode* A() { return root->firstChild.get(); }
  TemplateNode* Root() override { return root.get(); }
  UserInfo& User() override { return user; }
  const std::string& ProfilePath() const override { return path; }
  bool Load(const std::string&, std::string*) override { return false; }
  bool ReloadDefault(std::string*) override {
    // The nodes stay; a load changes their lines.
    A()->lines = {"a1", "a2"};
    user = {"Company Name", "Author Name"};
    return true;
  }
  bool SaveAs(const std::string& file, std::string*) override {
    saved.push_back(file);
    return true;
  }

  std::unique_ptr<TemplateNode> root;
  UserInfo user;
  std::string path = "C:\\q\\Comment_u.ini";
  std::vector<std::string> saved;
};

using testing::FakeFileChooser;
using testing::RecordingMessages;
using testing::ScriptedShell;

std::wstring Text(HWND hwnd) {
  return WindowText(hwnd);
}

// ---- A PNG of a window, with stored (uncompressed) deflate blocks.

std::uint32_t Crc(const unsigned char* data, std::size_t size, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBig(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
  PutBig(png, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  png += body;
  PutBig(png, Crc(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
  bool Has(unsigned char r, unsigned char g, unsigned char b) const {
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
      if (rgb[i] == r && rgb[i + 1] == g && rgb[i + 2] == b) return true;
    return false;
  }
};

Picture Capture(HWND hwnd, bool withFrame) {
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
  RECT r = {};
  if (withFrame) {
    GetWindowRect(hwnd, &r);
  } else {
    GetClientRect(hwnd, &r);
  }
  Picture picture{r.right - r.left, r.bottom - r.top, {}};
  HDC source = withFrame ? GetWindowDC(hwnd) : GetDC(hwnd);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, picture.width, picture.height, source, 0, 0, SRCCOPY);
  GdiFlush();
  const auto* pixels = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < picture.width * picture.height; ++i) {
    picture.rgb.push_back(pixels[4 * i + 2]);
    picture.rgb.push_back(pixels[4 * i + 1]);
    picture.rgb.push_back(pixels[4 * i]);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(hwnd, source);
  return picture;
}

bool SavePng(const Picture& picture, const std::string& path) {
  std::string raw;
  for (int y = 0; y < picture.height; ++y) {
    raw += '\0';  // no filter
    raw.append(reinterpret_cast<const char*>(picture.rgb.data()) + 3 * picture.width * y,
               3 * static_cast<std::size_t>(picture.width));
  }
  std::string zlib = "\x78\x01";
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    zlib += static_cast<char>(at + n >= raw.size() ? 1 : 0);
    zlib += static_cast<char>(n & 0xFF);
    zlib += static_cast<char>(n >> 8);
    zlib += static_cast<char>(~n & 0xFF);
    zlib += static_cast<char>((~n >> 8) & 0xFF);
    zlib.append(raw, at, n);
    if (raw.empty()) break;
  }
  PutBig(zlib, (b << 16) | a);
  std::string header;
  PutBig(header, static_cast<std::uint32_t>(picture.width));
  PutBig(header, static_cast<std::uint32_t>(picture.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  std::string png = "\x89PNG\r\n\x1a\n";
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", zlib);
  Chunk(png, "IEND", "");
  std::ofstream out(path, std::ios::binary);
  out << png;
  return static_cast<bool>(out);
}

// ---- Driving a modal dialog from inside its own message loop.

// A message-only window whose timer runs `step` once on the thread's first
// visible dialog, inside that dialog's modal loop.
class Driver {
 public:
  explicit Driver(std::function<void(HWND)> step) : step_(std::move(step)) {
    window_ =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowSubclass(window_, &Driver::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    SetTimer(window_, 1, 300, nullptr);
  }
  ~Driver() { DestroyWindow(window_); }

 private:
  static BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    if (std::wstring(name) != L"#32770" || !IsWindowVisible(hwnd)) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
  }
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR data) {
    auto* self = reinterpret_cast<Driver*>(data);
    if (message == WM_TIMER) {
      HWND dialog = nullptr;
      EnumThreadWindows(GetCurrentThreadId(), &Driver::FindDialog,
                        reinterpret_cast<LPARAM>(&dialog));
      if (dialog == nullptr) return 0;
      KillTimer(hwnd, 1);
      self->step_(dialog);
      return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }

  std::function<void(HWND)> step_;
  HWND window_ = nullptr;
};

HTREEITEM FindChild(HWND tree, HTREEITEM parent, const wchar_t* text) {
  for (HTREEITEM item = parent == nullptr ? TreeView_GetRoot(tree)
                                          : TreeView_GetChild(tree, parent);
       item != nullptr; item = TreeView_GetNextSibling(tree, item)) {
    wchar_t buffer[64] = {};
    TVITEMW query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = buffer;
    query.cchTextMax = 64;
    TreeView_GetItem(tree, &query);
    if (std::wstring(buffer) == text) return item;
  }
  return nullptr;
}

void RunSettings(HINSTANCE instance, const std::string& out, Checks& checks) {
  FakeSettings settings;
  FakeFileChooser files;
  RecordingMessages messages;
  {
    SettingsDialog dialog(settings, files, messages);
    Driver driver([&](HWND dlg) {
      checks.Expect(Text(dlg) == Widen("参数设置 -- C:\\q\\Comment_u.ini"), "caption");
      HWND tree = GetDlgItem(dlg, kIdKindTree);
      HWND style = GetDlgItem(dlg, kIdStyleEdit);
      HTREEITEM group = FindChild(tree, nullptr, L"G");
      HTREEITEM a = FindChild(tree, group, L"A");
      HTREEITEM b = FindChild(tree, group, L"B");
      checks.Expect(group != nullptr && a != nullptr && b != nullptr, "kind tree filled");
      TreeView_SelectItem(tree, a);
      checks.Expect(Text(style) == L"a1\r\na2\r\n", "a kind's lines in the style edit");
      SetWindowTextW(style, Widen("x\r\n中文\r\n").c_str());
      TreeView_SelectItem(tree, b);
      checks.Expect(settings.A()->lines == std::vector<std::string>{"x", "中文"},
                    "switching kind commits the text");
      TreeView_SelectItem(tree, group);
      checks.Expect(Text(style) == L"b1\r\n", "a group leaves the edit alone");

      HWND list = GetDlgItem(dlg, kIdPropertyList);
      ListBox_SetCurSel(list, 1);
      SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(kIdPropertyList, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
      HWND edit = GetDlgItem(list, kIdInPlaceEdit);
      checks.Expect(edit != nullptr && IsWindowVisible(edit), "in-place edit shown");
      checks.Expect(Text(edit) == L"Company Name", "in-place edit holds the value");
      SetWindowTextW(edit, Widen("墨翎工作室").c_str());
      checks.Expect(settings.user.companyName == "Company Name", "user info waits for closing");

      TreeView_Expand(tree, group, TVE_EXPAND);
      TreeView_SelectItem(tree, a);
      const Picture picture = Capture(dlg, false);
      checks.Expect(picture.width > 300 && picture.height > 200, "settings dialog has a size");
      checks.Expect(SavePng(picture, out + "/settings-dialog-win32.png"), "settings picture");
      PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    dialog.RunModal(instance, 130, nullptr);
  }
  checks.Expect(settings.user.companyName == "墨翎工作室", "Cancel keeps the row's edit");
  checks.Expect(settings.A()->lines == std::vector<std::string>{"x", "中文"}, "lines kept");

  // A failed load: the message, and the style edit shows the restored lines.
  SettingsDialog again(settings, files, messages);
  Driver driver([&](HWND dlg) {
    HWND tree = GetDlgItem(dlg, kIdKindTree);
    TreeView_SelectItem(tree, FindChild(tree, FindChild(tree, nullptr, L"G"), L"A"));
    SetWindowTextW(GetDlgItem(dlg, kIdStyleEdit), L"typed\r\n");
    files.answers.push_back("C:\\missing.ini");
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(kIdLoad, BN_CLICKED), 0);
    checks.Expect(messages.shown == std::vector<std::string>{"加载文件失败!,恢复原来设置"},
                  "failed load message");
    checks.Expect(Text(GetDlgItem(dlg, kIdStyleEdit)) == L"a1\r\na2\r\n",
                  "style edit refreshed after the load");
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  });
  again.RunModal(instance, 130, nullptr);
  checks.Expect(settings.A()->lines == std::vector<std::string>{"a1", "a2"},
                "restored lines survive closing");
}

// The sizes of the tooltip records the thread's windows are sent.
std::vector<UINT> g_toolInfoSizes;

LRESULT CALLBACK RecordToolInfo(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION &&
      (message->message == TTM_ADDTOOLW || message->message == TTM_UPDATETIPTEXTW))
    g_toolInfoSizes.push_back(reinterpret_cast<const TTTOOLINFOW*>(message->lParam)->cbSize);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void RunAbout(HINSTANCE instance, const std::string& out, Checks& checks) {
  ScriptedShell shell;
  RecordingMessages messages;
  AboutDialog dialog(shell, messages);
  // The link's tooltip must be one the version 5 common controls of an
  // unmanifested 32-bit host accept: no larger than their record.
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &RecordToolInfo, nullptr, GetCurrentThreadId());
  Driver driver([&](HWND dlg) {
    checks.Expect(Text(dlg) == Widen("关于墨翎"), "about caption");
    checks.Expect(Text(GetDlgItem(dlg, kIdAuthorLine)) == Widen("作    者:   QM  "), "author line");
    int versions = 0;
    for (HWND child = GetWindow(dlg, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      if (Text(child).rfind(Widen("版    本:"), 0) != 0) continue;
      checks.Expect(Text(child) == Widen(testing::ProjectVersionLine()),
                    "the version is the one CMake builds");
      ++versions;
    }
    checks.Expect(versions == 1, "one version line");
    HWND link = GetDlgItem(dlg, kIdLink);
    checks.Expect(Text(link) == L"qm@example.org", "the link shows the bare address");
    checks.Expect(Capture(link, false).Has(0, 0, 255), "the link is blue");
    const Picture picture = Capture(dlg, false);
    checks.Expect(SavePng(picture, out + "/about-dialog-win32.png"), "about picture");

    shell.result = 31;
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    checks.Expect(
        messages.shown.size() == 1 && messages.shown[0].rfind("Can't open link:\n\n", 0) == 0,
        "a failed open is reported");
    shell.result = 42;
    SendMessageW(link, WM_KEYDOWN, VK_SPACE, 0);
    checks.Expect(!shell.opened.empty() && shell.opened.back() == "mailto:qm@example.org",
                  "the space bar opens mailto:");
    checks.Expect(Capture(link, false).Has(0, 128, 128), "the focused link is teal");
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  });
  dialog.RunModal(instance, 129, nullptr);
  UnhookWindowsHookEx(hook);
  checks.Expect(!g_toolInfoSizes.empty(), "the link has a tooltip");
  for (const UINT size : g_toolInfoSizes)
    checks.Expect(size <= TTTOOLINFOW_V2_SIZE, "tooltip record within the version 5 size");
}

// A program that cannot start is reported by the link's error table, never as
// the table's "out of memory" row.
void RunProgramStarts(const std::string& out, Checks& checks) {
  const std::string notAProgram = out + "\\not-a-program.exe";
  std::ofstream(notAProgram, std::ios::binary) << "plain text, not a program\n";
  const struct {
    std::string commandLine;
    int code;
    const char* why;
  } kCases[] = {
      {"\"" + notAProgram + "\" x", 11, "not a program: the bad-format row"},
      {"\"" + out + "\\no-such-program.exe\" x", 2, "missing: the file row"},
  };
  Win32LinkShell shell;
  for (const auto& c : kCases) {
    const int code = shell.StartProgram(c.commandLine, SW_HIDE);
    checks.Expect(code == c.code, c.why);
    if (code != c.code) std::printf("  got %d\n", code);
  }
}

}  // namespace
}  // namespace quillmark::ui::win32

int main(int argc, char** argv) {
  using namespace quillmark::ui::win32;
  const std::string out = argc > 1 ? argv[1] : ".";
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  Checks checks;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  RunSettings(instance, out, checks);
  RunAbout(instance, out, checks);
  RunProgramStarts(out, checks);
  std::printf("win32 dialogs: %d failure(s)\n", checks.failures);
  return checks.failures == 0 ? 0 : 1;
}
