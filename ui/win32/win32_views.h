// The Win32 views of the settings and about dialogs: dialog templates 130 and
// 129 from the module's resources, wired to the presenters of quillmark/ui/.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <string>
#include <string_view>

#include "quillmark/ui/about.h"
#include "quillmark/ui/dialog_templates.h"
#include "quillmark/ui/hyperlink.h"
#include "quillmark/ui/settings_presenter.h"
#include "quillmark/wide.h"

namespace quillmark::ui::win32 {

// Text the dialogs only show: captions, tree items, rows, tooltips. What they
// show comes from the settings and the core, always valid UTF-8; were a text
// not, a character shown as U+FFFD beats a control left blank, and nothing
// shown is read back as it stands (see StyleText and the in-place edit).
std::wstring Shown(std::string_view utf8);
// A window's or control's text.
std::wstring WindowText(HWND hwnd);

// A modal dialog on a resource template. `this` lives in the window's
// GWLP_USERDATA from WM_INITDIALOG until the window is gone.
class Dialog {
 public:
  virtual ~Dialog();
  INT_PTR RunModal(HINSTANCE instance, int templateId, HWND parent);

 protected:
  // True when the message was handled; `result` is then the answer.
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;
  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

class Win32FileChooser final : public FileChooser {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  std::optional<std::string> ChooseFileToOpen(const FileDialogOptions& options) override;
  std::optional<std::string> ChooseFileToSave(const FileDialogOptions& options) override;

 private:
  std::optional<std::string> Choose(const FileDialogOptions& options, bool save);
  HWND owner_ = nullptr;
};

// The shell's "open", the registry under HKEY_CLASSES_ROOT, CreateProcess.
class Win32LinkShell final : public LinkShell {
 public:
  int ShellOpen(const std::string& address, int show) override;
  std::optional<std::string> ReadClassesRootValue(const std::string& key) override;
  int StartProgram(const std::string& commandLine, int show) override;
};

class SettingsDialog final : public Dialog, private SettingsView {
 public:
  SettingsDialog(SettingsModel& model, FileChooser& files, MessageSink& messages)
      : presenter_(model, *this, files, messages) {}
  ~SettingsDialog() override;

 private:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void OnInitDialog();
  void DrawRow(const DRAWITEMSTRUCT& item);
  void RowSelectionChanged();
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR data);

  void SetCaption(const std::string& caption) override;
  void ShowKindTree(const std::vector<KindTreeItem>& items) override;
  void ShowRows() override;
  std::string StyleText() override;
  void SetStyleText(const std::string& text) override;
  void PlaceInPlaceEdit(Rect where, const std::string& text) override;
  void HideInPlaceEdit() override;

  SettingsPresenter presenter_;
  HWND tree_ = nullptr;
  HWND style_ = nullptr;
  HWND list_ = nullptr;
  HWND inPlace_ = nullptr;
  HIMAGELIST images_ = nullptr;
  HFONT listFont_ = nullptr;
};

// Static control 1015 made a link: subclassed, with a tooltip and a hand cursor.
class HyperLinkControl final : private LinkView {
 public:
  HyperLinkControl(LinkShell& shell, MessageSink& messages) : link_(*this, shell, messages) {}
  ~HyperLinkControl() override;
  void Attach(HWND control);
  void SetURL(const std::string& url);
  // The colour query the parent reflects to the control.
  HBRUSH OnColour(HDC dc);
  HWND Window() const { return hwnd_; }
  const HyperLink& Link() const { return link_; }

 private:
  void TakeFocus() override;
  void Repaint() override;
  void CaptureMouse() override;
  void ReleaseMouse() override;
  void Beep() override;
  void LoadLinkCursor();
  void PositionWindow();
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR data);

  HyperLink link_;
  HWND hwnd_ = nullptr;
  HWND toolTip_ = nullptr;
  HFONT underlineFont_ = nullptr;
  HCURSOR linkCursor_ = nullptr;
};

class AboutDialog final : public Dialog {
 public:
  AboutDialog(LinkShell& shell, MessageSink& messages) : link_(shell, messages) {}

 private:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  HyperLinkControl link_;
};

}  // namespace quillmark::ui::win32
