// Dialog templates as Qt widgets, placed in dialog units of the dialog font.
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "qt_views.h"

namespace quillmark::ui::qt {
namespace {

// The window system's base units of a font: the average width of the 52
// letters, rounded, and the font's height.
BaseUnits FontBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters =
      metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

QWidget* MakeControl(QDialog& dialog, const ControlTemplate& control) {
  switch (control.kind) {
    case ControlKind::kDefaultButton:
    case ControlKind::kButton: {
      auto* button = new QPushButton(Text(control.text), &dialog);
      button->setAutoDefault(false);
      // One default button answers Enter: OK, as in the templates.
      button->setDefault(control.id == kIdOk);
      return button;
    }
    case ControlKind::kCheckBox:
      return new QCheckBox(Text(control.text), &dialog);
    case ControlKind::kStatic:
      return new QLabel(Text(control.text), &dialog);
    case ControlKind::kTree:
      return new QTreeWidget(&dialog);
    case ControlKind::kEdit:
      return new QPlainTextEdit(&dialog);
    case ControlKind::kList:
      return new PropertyListWidget(&dialog);
  }
  return nullptr;
}

}  // namespace

QFont DialogFont(int points) {
  QFont font;
  font.setFamilies({"MS Sans Serif", "WenQuanYi Micro Hei", "Noto Sans CJK SC"});
  font.setPointSize(points);
  return font;
}

void BuildControls(QDialog& dialog, const DialogTemplate& dialogTemplate) {
  dialog.setFont(DialogFont(dialogTemplate.fontPoints));
  const BaseUnits units = FontBaseUnits(dialog.font());
  const Rect client = DialogUnitsToPixels(0, 0, dialogTemplate.width, dialogTemplate.height, units);
  dialog.setFixedSize(client.Width(), client.Height());
  dialog.setWindowTitle(Text(dialogTemplate.caption));
  int unnamed = 0;
  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = MakeControl(dialog, control);
    widget->setObjectName(control.id >= 0 ? QString("control%1").arg(control.id)
                                          : QString("static%1").arg(unnamed++));
    const Rect r = DialogUnitsToPixels(control.x, control.y, control.width, control.height, units);
    widget->setGeometry(r.left, r.top, r.Width(), r.Height());
    widget->setVisible(control.visible);
  }
}

}  // namespace quillmark::ui::qt
