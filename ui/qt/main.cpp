// quillmark-dialogs: the settings and about commands with Qt dialogs, in an
// executable of their own so the comment commands never load Qt.
//
//   quillmark-dialogs settings [--settings FILE]
//   quillmark-dialogs about
//
// Exit status: 0 done; 2 usage, no display, or a settings file that cannot be
// read or written.
#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "qt_user_interface.h"
#include "quillmark/posix_platform.h"

namespace quillmark::ui::qt {
namespace {

constexpr int kExitUsage = 2;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A platform plugin chosen by hand (offscreen, vnc, ...) needs no display;
// X11 and Wayland do.
bool HasDisplay() {
  const std::string platform = IsSet("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
  if (!platform.empty() && !platform.starts_with("xcb") && !platform.starts_with("wayland"))
    return true;
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

int Usage() {
  std::cerr << "usage: quillmark-dialogs settings [--settings FILE]\n"
               "       quillmark-dialogs about\n";
  return kExitUsage;
}

int Main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  std::optional<std::string> settingsFile;
  if (command == "settings" && argc == 4 && std::strcmp(argv[2], "--settings") == 0) {
    settingsFile = argv[3];
  } else if ((command != "settings" && command != "about") || argc != 2) {
    return Usage();
  }
  // Qt would abort without a display; say so instead.
  if (!HasDisplay()) {
    std::cerr << "quillmark-dialogs: no display to show the " << command
              << " dialog on (DISPLAY and WAYLAND_DISPLAY are unset)\n";
    return kExitUsage;
  }
  QApplication app(argc, argv);
  const PosixPlatform platform;
  QtFileChooser files;
  QtMessageBox messages;
  DesktopLinkShell shell;
  QtUserInterface ui(platform.Converter(), files, messages, shell);
  Commands commands(ui, platform, settingsFile);
  if (command == "about") {
    commands.QuillmarkAbout();
    return 0;
  }
  if (!commands.SettingsLoaded()) {
    std::cerr << "quillmark-dialogs: " << commands.settingsError() << '\n';
    return kExitUsage;
  }
  // Closing the dialog keeps the edits; they go to the settings file here.
  commands.QuillmarkSetting();
  std::string error;
  if (!commands.SaveSettings(&error)) {
    std::cerr << "quillmark-dialogs: settings not saved: " << error << '\n';
    return kExitUsage;
  }
  return 0;
}

}  // namespace
}  // namespace quillmark::ui::qt

int main(int argc, char** argv) {
  return quillmark::ui::qt::Main(argc, argv);
}
