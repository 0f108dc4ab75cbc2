// The about dialog (template 129) and its link, in Qt widgets.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "qt_views.h"

namespace quillmark::ui::qt {

LinkLabel::LinkLabel(QLabel& control, LinkShell& shell, MessageSink& messages)
    : QLabel(control.text(), control.parentWidget()), link_(*this, shell, messages) {
  setObjectName(control.objectName());
  setGeometry(control.geometry());
  setAlignment(control.alignment());
  // Attaching: the window text is the address until SetURL says otherwise.
  if (link_.state.url.empty()) link_.state.url = text().toStdString();
  if (text().isEmpty()) setText(QString::fromStdString(link_.state.url));
  QFont underlined = font();
  underlined.setUnderline((link_.state.linkStyle & kLinkUnderline) != 0);
  setFont(underlined);
  PositionWindow();
  if ((link_.state.linkStyle & kLinkNoHandCursor) == 0) setCursor(Qt::PointingHandCursor);
  setToolTip(QString::fromStdString(link_.state.url));
  setMouseTracking(true);
  // Focus comes from a click (the link decides) or from the program.
  setFocusPolicy(Qt::NoFocus);
}

void LinkLabel::SetURL(const QString& url) {
  link_.state.url = url.toStdString();
  hide();
  PositionWindow();
  setToolTip(url);
  show();
}

void LinkLabel::PositionWindow() {
  if ((link_.state.linkStyle & kLinkAutoSize) == 0) return;
  const QFontMetrics metrics(font());
  const QRect g = geometry();
  const LinkAlign align = (alignment() & Qt::AlignHCenter) != 0 ? LinkAlign::kCentre
                          : (alignment() & Qt::AlignRight) != 0 ? LinkAlign::kRight
                                                                : LinkAlign::kLeft;
  const Rect fitted = FitLinkToText(
      Rect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()}, contentsRect().width(),
      contentsRect().height(), metrics.horizontalAdvance(text()), metrics.height(), align,
      (alignment() & Qt::AlignVCenter) != 0 && (alignment() & Qt::AlignTop) == 0);
  setGeometry(fitted.left, fitted.top, fitted.Width(), fitted.Height());
  update();
}

void LinkLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const Colour c = link_.TextColour();
  painter.setPen(QColor(c.red, c.green, c.blue));
  painter.setFont(font());
  painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, text());
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) link_.OnLeftButtonDown();
  update();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) link_.OnLeftButtonUp();
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event) {
  link_.OnMouseMove(rect().contains(event->position().toPoint()));
}

void LinkLabel::leaveEvent(QEvent*) {
  link_.OnMouseMove(false);
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && link_.OnKeyDown(kSpaceKey)) return;
  QLabel::keyPressEvent(event);
}

void LinkLabel::focusInEvent(QFocusEvent* event) {
  QLabel::focusInEvent(event);
  link_.OnFocusGained();
}

void LinkLabel::focusOutEvent(QFocusEvent* event) {
  QLabel::focusOutEvent(event);
  link_.OnFocusLost();
}

void LinkLabel::TakeFocus() {
  setFocus(Qt::MouseFocusReason);
}

void LinkLabel::Beep() {
  QApplication::beep();
}

AboutDialog::AboutDialog(LinkShell& shell, MessageSink& messages, QWidget* parent)
    : QDialog(parent) {
  BuildControls(*this, AboutDialogTemplate());
  connect(findChild<QPushButton*>("control1"), &QPushButton::clicked, this, &QDialog::accept);
  QLabel* control = findChild<QLabel*>("control1015");
  link_ = new LinkLabel(*control, shell, messages);
  delete control;
  findChild<QLabel*>("control1014")->setText(QString::fromUtf8(about::kAuthorAtStart));
  link_->SetURL(QString::fromUtf8(about::kUrl));
}

}  // namespace quillmark::ui::qt
