// The dialog templates as data: what both views (ui/qt, ui/win32) build, in
// template (tab) order, and the control ids they address.
#pragma once

#include <vector>

namespace quillmark::ui {

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

}  // namespace quillmark::ui
