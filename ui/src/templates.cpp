// Dialog templates 130 (settings) and 129 (about) as data, and the dialog-unit
// conversion the views lay them out with.
#include "quillmark/ui/about.h"
#include "quillmark/ui/dialog_templates.h"
#include "quillmark/ui/geometry.h"
#include "quillmark/ui/settings_presenter.h"

namespace quillmark::ui {
namespace {

// The window system's MulDiv: rounded half away from zero.
int MulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : -((-product + half) / denominator));
}

}  // namespace

Rect DialogUnitsToPixels(int x, int y, int width, int height, BaseUnits units) {
  const int left = MulDiv(x, units.x, 4);
  const int top = MulDiv(y, units.y, 8);
  return {left, top, left + MulDiv(width, units.x, 4), top + MulDiv(height, units.y, 8)};
}

const DialogTemplate& SettingsDialogTemplate() {
  static const DialogTemplate kTemplate{
      130,
      kSettingsCaption,
      321,
      215,
      "MS Sans Serif",
      9,
      {
          {kIdOk, ControlKind::kDefaultButton, "确  定", 210, 196, 50, 14, true},
          {kIdCancel, ControlKind::kButton, "取 消", 266, 196, 50, 14, true},
          {kIdKindTree, ControlKind::kTree, "Tree1", 7, 13, 157, 71, true},
          {-1, ControlKind::kStatic, "风格编辑:", 7, 87, 37, 8, true},
          {kIdStyleEdit, ControlKind::kEdit, "", 7, 103, 305, 86, true},
          {kIdPropertyList, ControlKind::kList, "", 177, 12, 133, 71, true},
          {kIdNoComment, ControlKind::kCheckBox, "不允许在此类中加注释", 67, 87, 96, 10, false},
          {-1, ControlKind::kStatic, "注释类型:", 7, 3, 56, 8, true},
          {-1, ControlKind::kStatic, "变量设定:", 174, 3, 47, 8, true},
          {kIdLoad, ControlKind::kButton, "加载配置文件...", 7, 195, 67, 15, true},
          {kIdSave, ControlKind::kButton, "保存配置文件...", 80, 196, 68, 14, true},
          // Drawn as a default button, as the template has it.
          {kIdApply, ControlKind::kDefaultButton, "应  用", 154, 196, 50, 14, true},
      }};
  return kTemplate;
}

const DialogTemplate& AboutDialogTemplate() {
  static const DialogTemplate kTemplate{
      129,
      about::kCaption,
      211,
      65,
      "MS Sans Serif",
      9,
      {
          {kIdOk, ControlKind::kDefaultButton, about::kClose, 153, 39, 50, 14, true},
          {-1, ControlKind::kStatic, about::kProduct, 16, 7, 55, 8, true},
          {-1, ControlKind::kStatic, about::kVersion, 16, 20, 88, 8, true},
          {kIdAuthorLine, ControlKind::kStatic, about::kAuthor, 16, 33, 97, 8, true},
          {-1, ControlKind::kStatic, about::kNotice, 122, 7, 80, 8, true},
          {kIdLink, ControlKind::kStatic, about::kAddress, 64, 45, 69, 8, true},
          {-1, ControlKind::kStatic, about::kContact, 16, 45, 42, 8, true},
      }};
  return kTemplate;
}

}  // namespace quillmark::ui
