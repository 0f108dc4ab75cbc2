// The dialogs' decisions, apart from any window system: the settings dialog's
// kind tree, style edit, property list, load and save, and the about dialog's
// texts with its hyperlink's colours, states and ways of opening an address.
// The Qt views (ui/qt) and the Win32 views (ui/win32) show what these decide;
// settings, file chooser, message box, shell and registry come in through the
// small interfaces below, so every rule here runs in tests without a window.
//
// Texts are UTF-8; the style edit's line breaks are CR LF.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/editor_port.h"
#include "quillmark/engine.h"
#include "quillmark/platform.h"
#include "quillmark/version.h"

namespace quillmark::ui {

// ---------------------------------------------------------------------------
// Geometry

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// The dialog base units of a font: average character width and height in
// pixels. A dialog unit is a quarter of the first and an eighth of the second.
struct BaseUnits {
  int x = 0;
  int y = 0;
};
// A template rectangle (x, y, width, height in dialog units) in pixels,
// rounded as the window system's own conversion rounds.
Rect DialogUnitsToPixels(int x, int y, int width, int height, BaseUnits units);

// ---------------------------------------------------------------------------
// Dialog templates as data: what both views build, in template (tab) order.

enum class ControlKind {
  kDefaultButton,
  kButton,
  kCheckBox,
  kStatic,
  kTree,
  kEdit,
  kList,
};

struct ControlTemplate {
  int id;  // -1 for the statics nobody addresses
  ControlKind kind;
  const char* text;
  int x, y, width, height;  // dialog units
  bool visible;
};

struct DialogTemplate {
  int id;
  const char* caption;
  int width, height;  // dialog units
  const char* fontFace;
  int fontPoints;
  std::vector<ControlTemplate> controls;
};

const DialogTemplate& SettingsDialogTemplate();  // resource 130
const DialogTemplate& AboutDialogTemplate();     // resource 129

// Control ids the views address.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdApply = 3;
inline constexpr int kIdKindTree = 1002;
inline constexpr int kIdStyleEdit = 1008;
inline constexpr int kIdPropertyList = 1009;
inline constexpr int kIdNoComment = 1010;
inline constexpr int kIdLoad = 1011;
inline constexpr int kIdSave = 1016;
inline constexpr int kIdInPlaceEdit = 1588;
inline constexpr int kIdAuthorLine = 1014;
inline constexpr int kIdLink = 1015;
inline constexpr int kKindBitmap = 130;

// ---------------------------------------------------------------------------
// What the settings dialog works on

// The settings as the dialog sees them: the template tree's nodes, the user
// information and the default settings file, with the store's operations.
// Loads change the nodes' lines and the user information in place; the nodes
// themselves live as long as the model.
class SettingsModel {
 public:
  virtual ~SettingsModel() = default;
  virtual TemplateNode* Root() = 0;  // null when the tree has none
  virtual UserInfo& User() = 0;
  virtual const std::string& ProfilePath() const = 0;
  // Reads the settings of an existing file; on failure `error` says why.
  virtual bool Load(const std::string& path, std::string* error) = 0;
  // Reads the default settings file again, creating it when it is missing.
  virtual bool ReloadDefault(std::string* error) = 0;
  // Makes `path` a file holding these settings alone. The old file at `path`
  // is replaced whole or not at all.
  virtual bool SaveAs(const std::string& path, std::string* error) = 0;
};

// The model over a template tree and the settings store (the one file that
// knows the store's calls: ui/src/tree_settings_model.cpp). Files are read and
// written through `converter`; both must outlive the model.
std::unique_ptr<SettingsModel> MakeTreeSettingsModel(TemplateTree& tree,
                                                     const TextConverter& converter);

inline constexpr char kIniFilter[] = "ini Files (*.ini)|*.ini||";

struct FileDialogOptions {
  std::string filter = kIniFilter;
  std::string defaultExtension;  // none
  std::string initialFile;       // none
  std::string initialDirectory;
  bool hideReadOnly = true;
  bool overwritePrompt = true;
};

// The system's file open and save dialogs; nothing when the user cancels.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  virtual std::optional<std::string> ChooseFileToOpen(const FileDialogOptions& options) = 0;
  virtual std::optional<std::string> ChooseFileToSave(const FileDialogOptions& options) = 0;
};

// ---------------------------------------------------------------------------
// Settings dialog

inline constexpr char kSettingsCaption[] = "参数设置";
inline constexpr unsigned kKindSelectedMessage = 3011;  // WM_KIND_SELECTED
inline constexpr int kGroupImage = 0;
inline constexpr int kKindImage = 1;
inline constexpr int kPropertyRowHeight = 22;

// One item of the kind tree: a group (image 0, its kinds below it) or a kind
// (image 1). The item data is the node.
struct KindTreeItem {
  std::string text;
  int image = kKindImage;
  TemplateNode* node = nullptr;
  std::vector<KindTreeItem> children;
};
std::vector<KindTreeItem> BuildKindTree(TemplateNode* root);

struct PropertyRow {
  std::string label;
  std::string token;
  std::string value;
};

// The three equal cells of a property row (label, token, value).
std::array<Rect, 3> PropertyCells(Rect row);
// Where the in-place edit goes over a row: the value cell, its top and bottom
// each 2 pixels higher than the row's.
Rect InPlaceEditRect(Rect row);

// "参数设置 -- <path>".
std::string SettingsCaption(std::string_view profilePath);
// The file dialogs start in the default settings file's directory.
std::string InitialDirectory(std::string_view profilePath);
// A kind's lines as the style edit shows them, each ended by CR LF.
std::string JoinTemplateLines(const std::vector<std::string>& lines);
// The style edit's text as template lines: cut at every CR LF (a CR LF first
// gives an empty line); text behind the last CR LF becomes a last line.
std::vector<std::string> SplitTemplateText(std::string_view text);

// What the settings dialog's window shows.
class SettingsView {
 public:
  virtual ~SettingsView() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  // Replaces every item; none expanded or selected.
  virtual void ShowKindTree(const std::vector<KindTreeItem>& items) = 0;
  // Refills the property list with the presenter's rows; none selected.
  virtual void ShowRows() = 0;
  virtual std::string StyleText() = 0;  // CR LF line breaks
  virtual void SetStyleText(const std::string& text) = 0;
  // Shows the in-place edit (creating it on first use) at `where`, holding `text`.
  virtual void PlaceInPlaceEdit(Rect where, const std::string& text) = 0;
  virtual void HideInPlaceEdit() = 0;
};

// The settings dialog's decisions. The view reports what the user did; the
// presenter changes the settings at the moments the dialog's rules name: a
// kind's text when another kind is selected and at closing, the user
// information at closing only (both "确  定" and "取 消" keep the edits).
class SettingsPresenter {
 public:
  SettingsPresenter(SettingsModel& model, SettingsView& view, FileChooser& files,
                    MessageSink& messages)
      : model_(model), view_(view), files_(files), messages_(messages) {}

  // Opening: fills the controls. The style edit starts empty, no kind shown.
  void Open() { RefreshControls(); }
  // Refills the kind tree, the rows and the caption; the style edit, the
  // current kind and the in-place edit stay as they are.
  void RefreshControls();

  // The kind tree's selection changed to the item of `node`: a group does
  // nothing, a kind is shown (the message the tree sends its dialog).
  void OnTreeSelectionChanged(TemplateNode* node);
  // WM_KIND_SELECTED: commits the text shown, then shows `node`'s lines.
  void OnKindSelected(TemplateNode* node);
  // Replaces the current kind's lines by the style edit's text.
  void CommitEditText();

  // The property list's selection: a row index and its rectangle, or -1.
  void OnRowSelected(int row, Rect rowRect);
  void OnInPlaceEditChanged(const std::string& text);

  void OnLoad();
  void OnSave();
  // Whichever way the dialog ends.
  void OnClose();

  const std::array<PropertyRow, 2>& Rows() const { return rows_; }
  int RowCount() const { return rowCount_; }
  int SelectedRow() const { return selectedRow_; }
  TemplateNode* CurrentNode() const { return currentNode_; }

 private:
  FileDialogOptions FileOptions() const;

  SettingsModel& model_;
  SettingsView& view_;
  FileChooser& files_;
  MessageSink& messages_;
  TemplateNode* currentNode_ = nullptr;
  std::array<PropertyRow, 2> rows_;
  int rowCount_ = 0;
  int selectedRow_ = -1;
};

// ---------------------------------------------------------------------------
// About dialog

namespace about {
inline constexpr char kCaption[] = "关于墨翎";
inline constexpr char kProduct[] = "墨翎(Quillmark)";
// The version the project is built as (CMakeLists.txt), as the dialog writes it.
inline constexpr char kVersion[] = "版    本:   " QUILLMARK_VERSION_ABOUT;
// The author line in the template; the dialog sets it with two blanks more.
inline constexpr char kAuthor[] = "作    者:   QM";
inline constexpr char kAuthorAtStart[] = "作    者:   QM  ";
inline constexpr char kNotice[] = "为 C/C++ 声明写中文注释";
inline constexpr char kContact[] = "与我联系:";
inline constexpr char kAddress[] = "qm@example.org";
inline constexpr char kUrl[] = "mailto:qm@example.org";
inline constexpr char kClose[] = "关  闭";
}  // namespace about

// ---------------------------------------------------------------------------
// Hyperlink

enum LinkStyle : std::uint32_t {
  kLinkUnderline = 0x01,
  kLinkHoverColour = 0x02,
  kLinkAutoSize = 0x04,
  kLinkFollowOnDown = 0x08,
  kLinkFocusOnClick = 0x10,
  kLinkNoHandCursor = 0x20,
  kLinkNoActiveColour = 0x40,
};
inline constexpr std::uint32_t kDefaultLinkStyle = 0x15;

struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Colour&) const = default;
};
inline constexpr Colour kLinkColour{0, 0, 255};
inline constexpr Colour kVisitedColour{128, 0, 128};
inline constexpr Colour kHoverColour{255, 0, 0};
inline constexpr Colour kActiveColour{0, 128, 128};

struct LinkState {
  bool active = false;
  bool overControl = false;
  bool visited = false;
  std::uint32_t linkStyle = kDefaultLinkStyle;
  std::string url;
};
Colour LinkTextColour(const LinkState& state);

// Horizontal placement of the link's text in its control.
enum class LinkAlign { kLeft, kCentre, kRight };
// The control's new window rectangle when it fits its text (`window` in its
// parent's coordinates, the border being window size minus client size).
Rect FitLinkToText(Rect window, int clientWidth, int clientHeight, int textWidth, int textHeight,
                   LinkAlign align, bool centreVertically);

inline constexpr int kShowNormal = 5;  // SW_SHOW
inline constexpr int kSpaceKey = 0x20;

// How the system opens an address. Result codes above 32 are success.
class LinkShell {
 public:
  virtual ~LinkShell() = default;
  // The shell's "open" verb on the address.
  virtual int ShellOpen(const std::string& address, int show) = 0;
  // The default value of a key under the classes root; nothing when unreadable.
  virtual std::optional<std::string> ReadClassesRootValue(const std::string& key) = 0;
  // 33 and more on success; else one of the shell's failure codes (32 and
  // less), or a negative number for a failure the shell has no code for.
  virtual int StartProgram(const std::string& commandLine, int show) = 0;
};

// The shell's open, else the program registered for ".htm" with the address.
int OpenURL(LinkShell& shell, const std::string& address, int show);
// The ".htm" handler's command cut at "\"%1\"" (else "%1"), a blank, the address.
std::string FallbackCommandLine(std::string_view command, std::string_view address);
// "Can't open link:\n\n" and the text for a failure code.
std::string LinkErrorText(int code);

// What the link control does to its window.
class LinkView {
 public:
  virtual ~LinkView() = default;
  virtual void TakeFocus() = 0;
  virtual void Repaint() = 0;
  virtual void CaptureMouse() = 0;
  virtual void ReleaseMouse() = 0;
  virtual void Beep() = 0;
};

// The hyperlink's states and reactions; the view forwards its input here and
// paints in LinkTextColour(state).
class HyperLink {
 public:
  HyperLink(LinkView& view, LinkShell& shell, MessageSink& messages)
      : view_(view), shell_(shell), messages_(messages) {}

  void OnMouseMove(bool insideClient);
  void OnLeftButtonDown();
  void OnLeftButtonUp();
  // True when the key was the link's (the space bar); others get the default.
  bool OnKeyDown(int key);
  void OnFocusGained();
  void OnFocusLost();
  void GotoURL();
  Colour TextColour() const { return LinkTextColour(state); }

  LinkState state;

 private:
  LinkView& view_;
  LinkShell& shell_;
  MessageSink& messages_;
};

}  // namespace quillmark::ui
