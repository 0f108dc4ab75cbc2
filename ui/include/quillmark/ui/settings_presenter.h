// The settings dialog's decisions, apart from any window system: the kind
// tree, the style edit, the property list, load and save. The views show what
// the presenter decides. Texts are UTF-8; the style edit's line breaks are CR LF.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/editor_port.h"
#include "quillmark/template_tree.h"
#include "quillmark/ui/file_chooser.h"
#include "quillmark/ui/geometry.h"
#include "quillmark/ui/settings_model.h"

namespace quillmark::ui {

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

}  // namespace quillmark::ui
