// Dialog units: the font-relative grid the dialog layouts are drawn on. One horizontal unit is
// a quarter of the font's average character width, one vertical unit an eighth of its height,
// so the dialogs keep their proportions with whatever font the desktop gives them.
#pragma once

#include <QRect>

#include "dialog/dialog_template.h"

class QFont;

namespace solvane::gui {

using solvane::dialog::DialogRect;

class DialogUnits {
 public:
  DialogUnits(int baseX, int baseY) noexcept : baseX_(baseX), baseY_(baseY) {}
  static DialogUnits forFont(const QFont& font);

  [[nodiscard]] int baseX() const noexcept { return baseX_; }
  [[nodiscard]] int baseY() const noexcept { return baseY_; }
  [[nodiscard]] int toPixelsX(int units) const noexcept;
  [[nodiscard]] int toPixelsY(int units) const noexcept;
  [[nodiscard]] QRect toPixels(const DialogRect& r) const noexcept;

 private:
  int baseX_;
  int baseY_;
};

// a * b / c rounded half away from zero, as dialog templates are mapped.
int mulDivRound(int a, int b, int c) noexcept;

}  // namespace solvane::gui
