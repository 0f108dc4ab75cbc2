// The system's parts of the dialogs on Linux: file dialogs, message boxes and
// opening an address.
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "qt_views.h"

namespace quillmark::ui::qt {
namespace {

constexpr int kOpened = 42;         // any result above 32
constexpr int kNoAssociation = 31;  // no application for the address
constexpr int kFileNotFound = 2;

// "ini Files (*.ini)|*.ini||" as Qt writes filters: "ini Files (*.ini)".
QString QtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|', Qt::SkipEmptyParts);
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    filters << (parts[i].contains('(') ? parts[i] : parts[i] + " (" + parts[i + 1] + ")");
  }
  return filters.join(";;");
}

std::optional<std::string> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

}  // namespace

std::optional<std::string> QtFileChooser::ChooseFileToOpen(const FileDialogOptions& options) {
  return Chosen(QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(),
                                             QString::fromStdString(options.initialDirectory),
                                             QtFilter(options.filter)));
}

std::optional<std::string> QtFileChooser::ChooseFileToSave(const FileDialogOptions& options) {
  QFileDialog::Options flags;
  if (!options.overwritePrompt) flags |= QFileDialog::DontConfirmOverwrite;
  return Chosen(QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(),
                                             QString::fromStdString(options.initialDirectory),
                                             QtFilter(options.filter), nullptr, flags));
}

void QtMessageBox::ShowMessage(std::string_view text) {
  QMessageBox::warning(QApplication::activeWindow(), "quillmark",
                       QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int DesktopLinkShell::ShellOpen(const std::string& address, int) {
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(address))) ? kOpened
                                                                          : kNoAssociation;
}

std::optional<std::string> DesktopLinkShell::ReadClassesRootValue(const std::string& key) {
  if (key == ".htm") return std::string("htmlfile");
  if (key == "htmlfile\\shell\\open\\command") return std::string("xdg-open \"%1\"");
  return std::nullopt;
}

int DesktopLinkShell::StartProgram(const std::string& commandLine, int) {
  QStringList arguments = QProcess::splitCommand(QString::fromStdString(commandLine));
  if (arguments.isEmpty()) return kFileNotFound;
  const QString program = arguments.takeFirst();
  return QProcess::startDetached(program, arguments) ? kOpened : kFileNotFound;
}

}  // namespace quillmark::ui::qt
