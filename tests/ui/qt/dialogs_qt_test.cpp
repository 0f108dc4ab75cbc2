// The Qt dialogs driven as a user would, on the offscreen platform, over a
// real template tree and settings files in a scratch directory.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "../presenter_test_support.h"
#include "qt_user_interface.h"
#include "qt_views.h"
#include "quillmark/commands.h"
#include "quillmark/posix_platform.h"
#include "quillmark/settings.h"

namespace quillmark::ui::qt {
namespace {

using testing::FakeFileChooser;
using testing::RecordingMessages;
using testing::ScriptedShell;

const QString kClassKind = QString::fromUtf8("类声明注释");
const QString kStructKind = QString::fromUtf8("结构体声明注释");

QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& text) {
  const QList<QTreeWidgetItem*> found =
      tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive, 0);
  return found.isEmpty() ? nullptr : found.front();
}

void TypeInto(QPlainTextEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  for (const QChar c : text) {
    if (c == '\n') {
      QTest::keyClick(edit, Qt::Key_Return);
    } else {
      QTest::keyClicks(edit, QString(c));
    }
  }
}

bool HasColour(const QImage& image, QColor colour) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) == colour) return true;
  return false;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    tree_ = std::make_unique<TemplateTree>();
    tree_->profilePath = Path("Comment.ini");
    QFile::remove(QString::fromStdString(tree_->profilePath));
    QVERIFY(LoadSettings(*tree_, tree_->profilePath, converter_, true, nullptr));
    model_ = MakeTreeSettingsModel(*tree_, converter_);
    defaultClassLines_ = tree_->FindKindNode(DeclKind::Class)->lines;
  }
  void cleanup() {
    model_.reset();
    tree_.reset();
  }

  void typingThenSwitchingKindAndCancelKeepTheEdits() {
    FakeFileChooser files;
    RecordingMessages messages;
    SettingsDialog dialog(*model_, files, messages);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QString::fromStdString("参数设置 -- " + tree_->profilePath));

    dialog.KindTree()->setCurrentItem(FindItem(dialog.KindTree(), kClassKind));
    QCOMPARE(dialog.StyleEdit()->toPlainText().count('\n'),
             static_cast<qsizetype>(defaultClassLines_.size()));
    TypeInto(dialog.StyleEdit(), "// first\n//\tsecond\n\n");
    dialog.StyleEdit()->insertPlainText(QString::fromUtf8("// 中文"));
    dialog.KindTree()->setCurrentItem(FindItem(dialog.KindTree(), kStructKind));
    QCOMPARE(tree_->FindKindNode(DeclKind::Class)->lines,
             (std::vector<std::string>{"// first", "//\tsecond", "", "// 中文"}));

    // The author row's value through the in-place edit over its value cell.
    dialog.PropertyList()->setCurrentRow(0);
    QLineEdit* edit = dialog.InPlaceEdit();
    QVERIFY(edit != nullptr && edit->isVisible());
    QCOMPARE(edit->x(), 2 * dialog.PropertyList()->viewport()->width() / 3);
    QCOMPARE(edit->text(), QString::fromStdString(model_->User().authorName));
    edit->selectAll();
    QTest::keyClicks(edit, "QM");
    QVERIFY(model_->User().authorName != "QM");  // not before closing

    TypeInto(dialog.StyleEdit(), "// struct\n");
    QTest::mouseClick(dialog.findChild<QPushButton*>("control2"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(model_->User().authorName, std::string("QM"));
    QCOMPARE(tree_->FindKindNode(DeclKind::Struct)->lines, std::vector<std::string>{"// struct"});
    QVERIFY(messages.shown.empty());
  }

  void saveThenLoadRestoresAndRefreshesTheStyleEdit() {
    FakeFileChooser files;
    RecordingMessages messages;
    SettingsDialog dialog(*model_, files, messages);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.KindTree()->setCurrentItem(FindItem(dialog.KindTree(), kClassKind));
    TypeInto(dialog.StyleEdit(), "// saved\n");
    dialog.KindTree()->setCurrentItem(FindItem(dialog.KindTree(), kStructKind));

    files.answers.push_back(Path("copy"));
    QTest::mouseClick(dialog.findChild<QPushButton*>("control1016"), Qt::LeftButton);
    QVERIFY(QFile::exists(QString::fromStdString(Path("copy.ini"))));

    dialog.KindTree()->setCurrentItem(FindItem(dialog.KindTree(), kClassKind));
    TypeInto(dialog.StyleEdit(), "// typed, then a load\n");
    files.answers.push_back(Path("copy.ini"));
    QTest::mouseClick(dialog.findChild<QPushButton*>("control1011"), Qt::LeftButton);
    QCOMPARE(dialog.StyleEdit()->toPlainText(), QString("// saved\n"));
    QVERIFY(messages.shown.empty());

    // A file that is not there: the default file's settings come back.
    files.answers.push_back(Path("missing.ini"));
    QTest::mouseClick(dialog.findChild<QPushButton*>("control1011"), Qt::LeftButton);
    QCOMPARE(messages.shown, std::vector<std::string>{"加载文件失败!,恢复原来设置"});
    QCOMPARE(dialog.windowTitle(), QString::fromStdString("参数设置 -- " + tree_->profilePath));
    dialog.accept();
    QCOMPARE(tree_->FindKindNode(DeclKind::Class)->lines, defaultClassLines_);
  }

  void screenshots() {
    FakeFileChooser files;
    RecordingMessages messages;
    SettingsDialog settings(*model_, files, messages);
    settings.show();
    QVERIFY(QTest::qWaitForWindowExposed(&settings));
    settings.KindTree()->expandAll();
    settings.KindTree()->setCurrentItem(FindItem(settings.KindTree(), kClassKind));
    settings.PropertyList()->setCurrentRow(0);
    QVERIFY(!settings.KindTree()->topLevelItem(0)->icon(0).isNull());
    Save(settings.grab(), "settings-dialog.png", settings.size());
    settings.reject();

    ScriptedShell shell;
    AboutDialog about(shell, messages);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QVERIFY(HasColour(about.Link()->grab().toImage(), QColor(0, 0, 255)));
    Save(about.grab(), "about-dialog.png", about.size());
  }

  void aboutLinkOpensAndReports() {
    ScriptedShell shell;
    RecordingMessages messages;
    AboutDialog about(shell, messages);
    about.show();
    about.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    LinkLabel* link = about.Link();
    QCOMPARE(link->text(), QString("qm@example.org"));
    QCOMPARE(link->toolTip(), QString("mailto:qm@example.org"));
    QCOMPARE(about.findChild<QLabel*>("control1014")->text(),
             QString::fromUtf8("作    者:   QM  "));
    int versions = 0;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
      if (!label->text().startsWith(QString::fromUtf8("版    本:"))) continue;
      QCOMPARE(label->text().toStdString(), testing::ProjectVersionLine());
      ++versions;
    }
    QCOMPARE(versions, 1);
    QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);

    shell.result = 31;
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(messages.shown.size(), std::size_t{1});
    QVERIFY(messages.shown[0].starts_with("Can't open link:\n\n"));
    QVERIFY(!link->Link().state.visited);

    shell.result = 42;
    QTest::keyClick(link, Qt::Key_Space);
    QCOMPARE(shell.opened.back(), std::string("mailto:qm@example.org"));
    QVERIFY(link->Link().state.visited);
    QVERIFY(link->hasFocus());
    QVERIFY(HasColour(link->grab().toImage(), QColor(0, 128, 128)));
  }

  // The settings command: the dialog on the live tree, written back to the
  // settings file when the command object goes.
  void settingsCommandSavesOnClose() {
    const std::string path = Path("live.ini");
    FakeFileChooser files;
    RecordingMessages messages;
    ScriptedShell shell;
    QtUserInterface ui(converter_, files, messages, shell);
    {
      Commands commands(ui, platform_, path);
      QTimer::singleShot(0, [] {
        auto* dialog = dynamic_cast<SettingsDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        dialog->KindTree()->setCurrentItem(FindItem(dialog->KindTree(), kClassKind));
        TypeInto(dialog->StyleEdit(), "// from the dialog\n");
        dialog->accept();
      });
      commands.QuillmarkSetting();
      std::string error;
      QVERIFY(commands.SaveSettings(&error));
    }
    TemplateTree reread;
    QVERIFY(LoadSettings(reread, path, converter_, false, nullptr));
    QCOMPARE(reread.FindKindNode(DeclKind::Class)->lines,
             std::vector<std::string>{"// from the dialog"});
  }

 private:
  std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
  void Save(const QPixmap& picture, const char* name, QSize expected) {
    QCOMPARE(picture.size(), expected);
    const QString path = QString(QUILLMARK_SCREENSHOT_DIR "/") + name;
    QVERIFY(picture.save(path, "PNG"));
    const QImage reread(path);
    QVERIFY(!reread.isNull());
  }

  QTemporaryDir dir_;
  IconvTextConverter converter_;
  PosixPlatform platform_;
  std::unique_ptr<TemplateTree> tree_;
  std::unique_ptr<SettingsModel> model_;
  std::vector<std::string> defaultClassLines_;
};

}  // namespace quillmark::ui::qt

QTEST_MAIN(quillmark::ui::qt::DialogsTest)
#include "dialogs_qt_test.moc"
