// The settings dialog (template 130) in Qt widgets.
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include "qt_views.h"

// The kind images are compiled into this static library; they are
// registered before first use.
static void InitKindImages() {
  Q_INIT_RESOURCE(resources);
}

namespace quillmark::ui::qt {
namespace {

constexpr int kNodeRole = Qt::UserRole;

QString FromUtf8(const std::string& text) {
  return QString::fromStdString(text);
}

// Paints a property row as three cells (label, token, value), each centred
// and framed by an etched edge on its right and bottom. The selected row is
// drawn like any other.
class PropertyRowDelegate final : public QStyledItemDelegate {
 public:
  explicit PropertyRowDelegate(PropertyListWidget* list) : QStyledItemDelegate(list), list_(list) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {option.rect.width(), kPropertyRowHeight};
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const SettingsPresenter* presenter = list_->Presenter();
    if (presenter == nullptr || index.row() < 0 || index.row() >= presenter->RowCount()) return;
    const PropertyRow& row = presenter->Rows()[static_cast<std::size_t>(index.row())];
    const QRect r = option.rect;
    const std::array<Rect, 3> cells =
        PropertyCells(Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
    const std::string* texts[] = {&row.label, &row.token, &row.value};
    painter->save();
    painter->setFont(list_->font());
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const Rect& c = cells[i];
      const QRect cell(c.left, c.top, c.Width(), c.Height());
      painter->setPen(option.palette.color(QPalette::Text));
      painter->drawText(cell, Qt::AlignCenter | Qt::TextSingleLine, FromUtf8(*texts[i]));
      // The etched edge: a shadow line with a highlight beside it.
      painter->setPen(QColor(128, 128, 128));
      painter->drawLine(c.right - 2, c.top, c.right - 2, c.bottom - 2);
      painter->drawLine(c.left, c.bottom - 2, c.right - 2, c.bottom - 2);
      painter->setPen(Qt::white);
      painter->drawLine(c.right - 1, c.top, c.right - 1, c.bottom - 1);
      painter->drawLine(c.left, c.bottom - 1, c.right - 1, c.bottom - 1);
    }
    painter->restore();
  }

 private:
  PropertyListWidget* list_;
};

void AddItems(const std::vector<KindTreeItem>& items, QTreeWidgetItem* parent, QTreeWidget* tree,
              const QPixmap& group, const QPixmap& kind) {
  for (const KindTreeItem& item : items) {
    auto* widgetItem = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    widgetItem->setText(0, FromUtf8(item.text));
    widgetItem->setIcon(0, QIcon(item.image == kGroupImage ? group : kind));
    widgetItem->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(item.node)));
    AddItems(item.children, widgetItem, tree, group, kind);
  }
}

}  // namespace

PropertyListWidget::PropertyListWidget(QWidget* parent) : QListWidget(parent) {
  QFont font;
  font.setFamilies({"MS Sans Serif", "WenQuanYi Micro Hei", "Noto Sans CJK SC"});
  font.setPointSize(8);
  setFont(font);
  setItemDelegate(new PropertyRowDelegate(this));
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

SettingsDialog::SettingsDialog(SettingsModel& model, FileChooser& files, MessageSink& messages,
                               QWidget* parent)
    : QDialog(parent), presenter_(model, *this, files, messages) {
  BuildControls(*this, SettingsDialogTemplate());
  tree_ = findChild<QTreeWidget*>("control1002");
  style_ = findChild<QPlainTextEdit*>("control1008");
  list_ = findChild<PropertyListWidget*>("control1009");
  list_->SetPresenter(&presenter_);

  InitKindImages();
  const QPixmap strip(":/quillmark/kinds.bmp");
  groupImage_ = strip.copy(0, 0, 16, 16);
  kindImage_ = strip.copy(16, 0, 16, 16);
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  tree_->setIconSize(QSize(16, 16));
  tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
  style_->setLineWrapMode(QPlainTextEdit::NoWrap);
  style_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  style_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  style_->setTabChangesFocus(false);

  connect(findChild<QPushButton*>("control1"), &QPushButton::clicked, this, &QDialog::accept);
  connect(findChild<QPushButton*>("control2"), &QPushButton::clicked, this, &QDialog::reject);
  connect(findChild<QPushButton*>("control1011"), &QPushButton::clicked, this,
          [this] { presenter_.OnLoad(); });
  connect(findChild<QPushButton*>("control1016"), &QPushButton::clicked, this,
          [this] { presenter_.OnSave(); });
  connect(tree_, &QTreeWidget::itemSelectionChanged, this, &SettingsDialog::TreeSelectionChanged);
  connect(list_, &QListWidget::itemSelectionChanged, this, &SettingsDialog::RowSelectionChanged);

  presenter_.Open();
}

void SettingsDialog::done(int result) {
  // OK, Cancel, Escape and the close box all end here: the edits are kept.
  if (!closed_) {
    closed_ = true;
    presenter_.OnClose();
  }
  QDialog::done(result);
}

void SettingsDialog::SetCaption(const std::string& caption) {
  setWindowTitle(FromUtf8(caption));
}

void SettingsDialog::ShowKindTree(const std::vector<KindTreeItem>& items) {
  const QSignalBlocker blocker(tree_);
  tree_->clear();
  AddItems(items, nullptr, tree_, groupImage_, kindImage_);
}

void SettingsDialog::ShowRows() {
  const QSignalBlocker blocker(list_);
  list_->clear();
  for (int i = 0; i < presenter_.RowCount(); ++i) list_->addItem(QString());
  list_->viewport()->update();
}

std::string SettingsDialog::StyleText() {
  // The presenter cuts lines at CR LF; the edit's own breaks are "\n".
  return style_->toPlainText().replace('\n', "\r\n").toStdString();
}

void SettingsDialog::SetStyleText(const std::string& text) {
  style_->setPlainText(FromUtf8(text).replace("\r\n", "\n"));
}

void SettingsDialog::PlaceInPlaceEdit(Rect where, const std::string& text) {
  if (inPlace_ == nullptr) {
    inPlace_ = new QLineEdit(list_->viewport());
    inPlace_->setObjectName("control1588");
    inPlace_->setAlignment(Qt::AlignCenter);
    inPlace_->setFont(list_->font());
    connect(inPlace_, &QLineEdit::textChanged, this, [this](const QString& value) {
      presenter_.OnInPlaceEditChanged(value.toStdString());
      list_->viewport()->update();
    });
  }
  inPlace_->setGeometry(where.left, where.top, where.Width(), where.Height());
  inPlace_->setText(FromUtf8(text));
  inPlace_->show();
  list_->viewport()->update();
}

void SettingsDialog::HideInPlaceEdit() {
  if (inPlace_ != nullptr) inPlace_->hide();
  list_->viewport()->update();
}

void SettingsDialog::TreeSelectionChanged() {
  const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
  if (selected.isEmpty()) return;
  auto* node =
      reinterpret_cast<TemplateNode*>(selected.front()->data(0, kNodeRole).value<quintptr>());
  presenter_.OnTreeSelectionChanged(node);
}

void SettingsDialog::RowSelectionChanged() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) {
    presenter_.OnRowSelected(-1, Rect{});
    return;
  }
  const QRect r = list_->visualItemRect(selected.front());
  presenter_.OnRowSelected(list_->row(selected.front()),
                           Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
}

}  // namespace quillmark::ui::qt
