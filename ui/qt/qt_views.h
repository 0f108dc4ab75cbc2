// The Qt 6 Widgets views of the settings and about dialogs: the controls of
// templates 130 and 129 laid out in dialog units of the dialog font, showing
// what the presenters of quillmark/ui/ decide.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>

#include <memory>

#include "quillmark/ui/about.h"
#include "quillmark/ui/dialog_templates.h"
#include "quillmark/ui/hyperlink.h"
#include "quillmark/ui/settings_presenter.h"

class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

namespace quillmark::ui::qt {

// The dialog font: the template's face, else a font with the Chinese glyphs.
QFont DialogFont(int points);
// Controls of a template made children of `dialog`, named "control<id>" (the
// unnamed statics "static<n>"), in template order, which is the tab order.
void BuildControls(QDialog& dialog, const DialogTemplate& dialogTemplate);

// The three-cell owner-drawn list of the two property rows.
class PropertyListWidget final : public QListWidget {
 public:
  explicit PropertyListWidget(QWidget* parent);
  void SetPresenter(const SettingsPresenter* presenter) { presenter_ = presenter; }
  const SettingsPresenter* Presenter() const { return presenter_; }

 private:
  const SettingsPresenter* presenter_ = nullptr;
};

class SettingsDialog final : public QDialog, private SettingsView {
 public:
  SettingsDialog(SettingsModel& model, FileChooser& files, MessageSink& messages,
                 QWidget* parent = nullptr);

  QTreeWidget* KindTree() const { return tree_; }
  QPlainTextEdit* StyleEdit() const { return style_; }
  PropertyListWidget* PropertyList() const { return list_; }
  QLineEdit* InPlaceEdit() const { return inPlace_; }  // null before first use
  void done(int result) override;

 private:
  void SetCaption(const std::string& caption) override;
  void ShowKindTree(const std::vector<KindTreeItem>& items) override;
  void ShowRows() override;
  std::string StyleText() override;
  void SetStyleText(const std::string& text) override;
  void PlaceInPlaceEdit(Rect where, const std::string& text) override;
  void HideInPlaceEdit() override;

  void TreeSelectionChanged();
  void RowSelectionChanged();

  SettingsPresenter presenter_;
  QTreeWidget* tree_ = nullptr;
  QPlainTextEdit* style_ = nullptr;
  PropertyListWidget* list_ = nullptr;
  QLineEdit* inPlace_ = nullptr;
  QPixmap groupImage_;
  QPixmap kindImage_;
  bool closed_ = false;
};

// Control 1015: a static text drawn as a link.
class LinkLabel final : public QLabel, private LinkView {
 public:
  LinkLabel(QLabel& control, LinkShell& shell, MessageSink& messages);
  void SetURL(const QString& url);
  const HyperLink& Link() const { return link_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void TakeFocus() override;
  void Repaint() override { update(); }
  // Qt reports the pointer leaving on its own; no capture needed.
  void CaptureMouse() override {}
  void ReleaseMouse() override {}
  void Beep() override;
  void PositionWindow();

  HyperLink link_;
};

class AboutDialog final : public QDialog {
 public:
  AboutDialog(LinkShell& shell, MessageSink& messages, QWidget* parent = nullptr);
  LinkLabel* Link() const { return link_; }

 private:
  LinkLabel* link_ = nullptr;
};

// The system's parts on Linux: Qt's file dialogs, warning message boxes
// titled "quillmark", and the desktop's opener standing in for the shell.
class QtFileChooser final : public FileChooser {
 public:
  std::optional<std::string> ChooseFileToOpen(const FileDialogOptions& options) override;
  std::optional<std::string> ChooseFileToSave(const FileDialogOptions& options) override;
};

class QtMessageBox final : public MessageSink {
 public:
  void ShowMessage(std::string_view text) override;
};

// The shell's "open" is QDesktopServices; the ".htm" handler of the fallback
// is xdg-open, started as a program.
class DesktopLinkShell final : public LinkShell {
 public:
  int ShellOpen(const std::string& address, int show) override;
  std::optional<std::string> ReadClassesRootValue(const std::string& key) override;
  int StartProgram(const std::string& commandLine, int show) override;
};

}  // namespace quillmark::ui::qt
