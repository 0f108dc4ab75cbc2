// Geometry of the dialogs, apart from any window system: rectangles and the
// dialog units of a template.
#pragma once

namespace quillmark::ui {

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

// The dialog base units of a font: average character width and height in
// pixels. A dialog unit is a quarter of the first and an eighth of the second.
struct BaseUnits {
  int x = 0;
  int y = 0;
};
// A template rectangle (x, y, width, height in dialog units) in pixels,
// rounded as the window system's own conversion rounds.
Rect DialogUnitsToPixels(int x, int y, int width, int height, BaseUnits units);

}  // namespace quillmark::ui
