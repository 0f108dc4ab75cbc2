// The settings dialog's rules: kind tree, style edit, property rows, load,
// save and closing.
#include "quillmark/ui/settings_presenter.h"
#include "quillmark/settings.h"

namespace quillmark::ui {
namespace {

constexpr char kAuthorLabel[] = "作 者";
constexpr char kAuthorToken[] = "%Author%";
constexpr char kCompanyLabel[] = "公 司";
constexpr char kCompanyToken[] = "%Company%";

void AppendChain(TemplateNode* node, std::vector<KindTreeItem>& items) {
  for (; node != nullptr; node = node->next.get()) {
    KindTreeItem item;
    item.text = node->name;
    item.node = node;
    if (node->IsGroup()) {
      item.image = kGroupImage;
      AppendChain(node->firstChild.get(), item.children);
    } else {
      item.image = kKindImage;
    }
    items.push_back(std::move(item));
  }
}

}  // namespace

std::vector<KindTreeItem> BuildKindTree(TemplateNode* root) {
  std::vector<KindTreeItem> items;
  AppendChain(root, items);
  return items;
}

std::array<Rect, 3> PropertyCells(Rect row) {
  const int w = row.Width();
  const int first = row.left + w / 3;
  const int second = row.left + 2 * w / 3;
  return {Rect{row.left, row.top, first, row.bottom}, Rect{first, row.top, second, row.bottom},
          Rect{second, row.top, row.right, row.bottom}};
}

Rect InPlaceEditRect(Rect row) {
  return {row.left + 2 * row.Width() / 3, row.top - 2, row.right, row.bottom - 2};
}

std::string SettingsCaption(std::string_view profilePath) {
  return std::string(kSettingsCaption) + " -- " + std::string(profilePath);
}

std::string InitialDirectory(std::string_view profilePath) {
  // Both separators: the Windows module's paths use "\", the Linux ones "/".
  const std::size_t slash = profilePath.find_last_of("\\/");
  if (slash == std::string_view::npos) return std::string(profilePath);
  return std::string(profilePath.substr(0, slash + 1));
}

std::string JoinTemplateLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> SplitTemplateText(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t end; (end = text.find("\r\n")) != std::string_view::npos;) {
    lines.emplace_back(text.substr(0, end));
    text.remove_prefix(end + 2);
  }
  // A last line typed without Enter is kept, not dropped.
  if (!text.empty()) lines.emplace_back(text);
  return lines;
}

void SettingsPresenter::RefreshControls() {
  view_.ShowKindTree(BuildKindTree(model_.Root()));
  const UserInfo& user = model_.User();
  rows_[0] = {kAuthorLabel, kAuthorToken, user.authorName};
  rows_[1] = {kCompanyLabel, kCompanyToken, user.companyName};
  rowCount_ = 2;
  selectedRow_ = -1;
  view_.ShowRows();
  view_.SetCaption(SettingsCaption(model_.ProfilePath()));
}

void SettingsPresenter::OnTreeSelectionChanged(TemplateNode* node) {
  if (node == nullptr || node->IsGroup()) return;
  OnKindSelected(node);
}

void SettingsPresenter::OnKindSelected(TemplateNode* node) {
  if (node == nullptr) return;
  const std::string text = JoinTemplateLines(node->lines);
  if (currentNode_ != nullptr) CommitEditText();
  currentNode_ = node;
  view_.SetStyleText(text);
}

void SettingsPresenter::CommitEditText() {
  if (currentNode_ == nullptr) return;
  currentNode_->lines = SplitTemplateText(view_.StyleText());
}

void SettingsPresenter::OnRowSelected(int row, Rect rowRect) {
  selectedRow_ = row >= 0 && row < rowCount_ ? row : -1;
  if (selectedRow_ < 0) {
    view_.HideInPlaceEdit();
    return;
  }
  view_.PlaceInPlaceEdit(InPlaceEditRect(rowRect), rows_[static_cast<std::size_t>(row)].value);
}

void SettingsPresenter::OnInPlaceEditChanged(const std::string& text) {
  if (selectedRow_ < 0) return;
  rows_[static_cast<std::size_t>(selectedRow_)].value = text;
}

FileDialogOptions SettingsPresenter::FileOptions() const {
  FileDialogOptions options;
  options.initialDirectory = InitialDirectory(model_.ProfilePath());
  return options;
}

void SettingsPresenter::OnLoad() {
  const std::optional<std::string> path = files_.ChooseFileToOpen(FileOptions());
  if (!path) return;
  const bool loaded = model_.Load(*path, nullptr);
  if (!loaded) model_.ReloadDefault(nullptr);
  RefreshControls();
  // The style edit shows the current kind's lines as loaded; its old text
  // would otherwise be committed over them at the next selection or closing.
  if (currentNode_ != nullptr) view_.SetStyleText(JoinTemplateLines(currentNode_->lines));
  if (!loaded) messages_.ShowMessage(messages::kLoadFailed);
}

void SettingsPresenter::OnSave() {
  const std::optional<std::string> chosen = files_.ChooseFileToSave(FileOptions());
  if (!chosen) return;
  // What is saved is the settings as they are: the style edit and the rows
  // reach them at closing or at the next kind selection.
  if (!model_.SaveAs(WithIniExtension(*chosen), nullptr))
    messages_.ShowMessage(messages::kSaveFailed);
}

void SettingsPresenter::OnClose() {
  CommitEditText();
  if (rowCount_ < 2) return;  // never opened: no rows to take
  UserInfo& user = model_.User();
  user.authorName = rows_[0].value;
  user.companyName = rows_[1].value;
}

}  // namespace quillmark::ui
