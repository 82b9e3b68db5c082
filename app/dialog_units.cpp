#include "app/dialog_units.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <cstdint>

namespace solvane::gui {

int mulDivRound(int a, int b, int c) noexcept {
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = c / 2;
  const std::int64_t q = product >= 0 ? (product + half) / c : (product - half) / c;
  return static_cast<int>(q);
}

DialogUnits DialogUnits::forFont(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width of the 52 Latin letters, rounded to the nearest pixel.
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

int DialogUnits::toPixelsX(int units) const noexcept { return mulDivRound(units, baseX_, 4); }
int DialogUnits::toPixelsY(int units) const noexcept { return mulDivRound(units, baseY_, 8); }

QRect DialogUnits::toPixels(const DialogRect& r) const noexcept {
  const int left = toPixelsX(r.x);
  const int top = toPixelsY(r.y);
  return {left, top, toPixelsX(r.x + r.width) - left, toPixelsY(r.y + r.height) - top};
}

}  // namespace solvane::gui
