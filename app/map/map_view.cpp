#include "app/map/map_view.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace solvane::map {
namespace {

constexpr double kMinScale = 1e-6;       // pixels per degree
constexpr double kMaxScale = 1e6;        // about 0.1 m a pixel; rows are stored to a metre
constexpr double kKmPerDegree = 111.32;  // along a meridian
constexpr int kClickSlop = 4;            // pixels a press may move and still be a click
constexpr double kHitRadius = 7.0;       // pixels around a mark that a click still hits

const QColor kBackground(0xf4, 0xf7, 0xfa);
const QColor kGridLine(0xd6, 0xde, 0xe6);
const QColor kWorldEdge(0x9a, 0xa8, 0xb6);
const QColor kLabel(0x4a, 0x55, 0x60);

// Ten type colours that stay clear of the two warning colours (red and orange).
constexpr std::array<QRgb, kMaxTypeColours> kTypePalette{
    0xff1f77b4, 0xff2ca02c, 0xff9467bd, 0xff8c564b, 0xff17becf,
    0xffe377c2, 0xffbcbd22, 0xff393b79, 0xff00796b, 0xff6a3d9a,
};
constexpr QRgb kOtherType = 0xff8f8f8f;
constexpr QRgb kSkippedColour = 0xffd62728;
constexpr QRgb kAtZeroColour = 0xffff7f0e;

// Smallest step of the 1-2-5 series (then 15, 30, 45, 90 degrees) that is at least `minimum`.
double niceDegreeStep(double minimum) {
  if (minimum > 10) {
    for (double s : {15.0, 30.0, 45.0, 90.0})
      if (s >= minimum) return s;
    return 180.0;
  }
  const double p = std::pow(10.0, std::floor(std::log10(std::max(minimum, 1e-9))));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= minimum) return m * p;
  return 10 * p;
}

double niceLength(double target) {
  const double p = std::pow(10.0, std::floor(std::log10(target)));
  for (double m : {5.0, 2.0, 1.0})
    if (m * p <= target) return m * p;
  return p;
}

QString degreeLabel(double value, double step, QChar positive, QChar negative) {
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  if (std::abs(value) < step / 2) return QStringLiteral("0°");
  return QString::number(std::abs(value), 'f', decimals) + QStringLiteral("°") + (value > 0 ? positive : negative);
}

// Clips a segment to a rectangle (Liang-Barsky). Keeps QPainter away from the huge
// coordinates of rows that lie far outside the view.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, const QRectF& r) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const std::array<double, 4> p{-dx, dx, -dy, dy};
  const std::array<double, 4> q{x0 - r.left(), r.right() - x0, y0 - r.top(), r.bottom() - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
  x1 = x0 + t1 * dx;
  y1 = y0 + t1 * dy;
  x0 = ax;
  y0 = ay;
  return true;
}

QColor itemColour(const MapIndex& index, const MapItem& it) {
  if (it.mark != RowMark::kWritten) return MapView::markColour(it.mark);
  return MapView::typeColour(index.typeClasses()[it.colour], it.colour);
}

// Unit vector on screen for a compass direction (0 = north, clockwise).
QPointF compass(int degrees) {
  const double a = degrees * std::numbers::pi / 180.0;
  return {std::sin(a), -std::cos(a)};
}

}  // namespace

MapView::MapView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(240, 180);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::OpenHandCursor);
  setMouseTracking(true);
}

QColor MapView::typeColour(const TypeClass& typeClass, std::size_t classIndex) {
  if (typeClass.other || classIndex >= kTypePalette.size()) return QColor::fromRgb(kOtherType);
  return QColor::fromRgb(kTypePalette[classIndex]);
}

QColor MapView::markColour(RowMark mark) {
  switch (mark) {
    case RowMark::kSkipped: return QColor::fromRgb(kSkippedColour);
    case RowMark::kAtZero: return QColor::fromRgb(kAtZeroColour);
    case RowMark::kWritten: break;
  }
  return QColor::fromRgb(kOtherType);
}

void MapView::setFindings(std::shared_ptr<const TableFindings> findings) {
  findings_ = std::move(findings);
  update();
}

void MapView::setDiffMarks(std::shared_ptr<const std::vector<DiffMark>> marks) {
  diffMarks_ = std::move(marks);
  update();
}

QColor MapView::diffColour(compare::ChangeKind kind) {
  switch (kind) {
    case compare::ChangeKind::kAdded: return QColor::fromRgb(0x2e7d32);    // green
    case compare::ChangeKind::kRemoved: return QColor::fromRgb(0xc62828);  // red
    case compare::ChangeKind::kMoved: return QColor::fromRgb(0xef6c00);    // orange
    case compare::ChangeKind::kChanged: return QColor::fromRgb(0x1565c0);  // blue
  }
  return Qt::black;
}

void MapView::drawDiff(QPainter& p, const WorldRect& view) const {
  if (!diffMarks_) return;
  const double lonScale = index_ ? index_->lonScale() : 1.0;
  const auto inView = [&](double x, double y) {
    return x >= view.left && x <= view.right && y >= view.bottom && y <= view.top;
  };
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setBrush(Qt::NoBrush);
  for (const DiffMark& m : *diffMarks_) {
    const double x = m.lon * lonScale, y = m.lat;
    const bool here = inView(x, y);
    const bool before = m.from && inView(m.from->x() * lonScale, m.from->y());
    if (!here && !before) continue;
    const QColor colour = diffColour(m.kind);
    const QPointF at = toScreen(x, y);
    if (m.from) {
      const QPointF was = toScreen(m.from->x() * lonScale, m.from->y());
      p.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(was, at);
      p.drawEllipse(was, 2.5, 2.5);
    }
    p.setPen(QPen(colour, 2.0));
    p.drawEllipse(at, 6.0, 6.0);
    if (m.kind == compare::ChangeKind::kRemoved) {
      p.drawLine(at + QPointF(-4, -4), at + QPointF(4, 4));
      p.drawLine(at + QPointF(-4, 4), at + QPointF(4, -4));
    }
  }
}

void MapView::drawFindings(QPainter& p, const WorldRect& view) const {
  // Further out, rows a few metres apart share a pixel and the rings would hide the map.
  if (!findings_ || scale_ < kTickScale) return;
  const MapIndex& index = *index_;
  const auto itemAt = [&](std::uint32_t row) -> const MapItem* {
    const std::ptrdiff_t i = index.itemOfRow(row);
    if (i < 0) return nullptr;
    const MapItem& it = index.item(static_cast<std::size_t>(i));
    return it.x >= view.left && it.x <= view.right && it.y >= view.bottom && it.y <= view.top ? &it : nullptr;
  };
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setBrush(Qt::NoBrush);
  const QColor warn = QColor::fromRgb(kAtZeroColour);
  // Near duplicates: a line between the two and a ring around each, so that a pair a pixel
  // apart still shows as one.
  for (const auto& [a, b] : findings_->joined()) {
    const MapItem* first = itemAt(a);
    const MapItem* second = itemAt(b);
    if (!first && !second) continue;
    const std::ptrdiff_t ia = index.itemOfRow(a), ib = index.itemOfRow(b);
    if (ia < 0 || ib < 0) continue;
    const MapItem& x = index.item(static_cast<std::size_t>(ia));
    const MapItem& y = index.item(static_cast<std::size_t>(ib));
    const QPointF pa = toScreen(x.x, x.y), pb = toScreen(y.x, y.y);
    p.setPen(QPen(warn, 2.0, Qt::DashLine, Qt::RoundCap));
    p.drawLine(pa, pb);
    p.setPen(QPen(warn, 1.5));
    p.drawEllipse(pa, 7.0, 7.0);
    p.drawEllipse(pb, 7.0, 7.0);
  }
  p.setPen(QPen(warn, 2.5));
  for (const std::uint32_t row : findings_->problemRows()) {
    if (const MapItem* it = itemAt(row)) p.drawEllipse(toScreen(it->x, it->y), 8.0, 8.0);
  }
}

void MapView::setIndex(std::shared_ptr<const MapIndex> index) {
  index_ = std::move(index);
  selectedRow_ = -1;
  fitAll();
}

void MapView::setLegendVisible(bool visible) {
  legendVisible_ = visible;
  update();
}

void MapView::fitAll() {
  if (width() <= 1 || height() <= 1) {
    fitPending_ = true;
    return;
  }
  fitPending_ = false;
  autoFit_ = true;
  const WorldRect e = index_ ? index_->extent() : WorldRect{-180, -90, 180, 90};
  centre_ = {(e.left + e.right) / 2, (e.bottom + e.top) / 2};
  // A single place (or one spot repeated) gets a street-level view instead of infinity.
  const double w = std::max(e.width(), 0.01), h = std::max(e.height(), 0.01);
  scale_ = std::clamp(0.9 * std::min(width() / w, height() / h), kMinScale, kMaxScale);
  update();
}

void MapView::setView(QPointF centre, double pixelsPerDegree) {
  fitPending_ = autoFit_ = false;
  centre_ = centre;
  scale_ = std::clamp(pixelsPerDegree, kMinScale, kMaxScale);
  update();
}

QPointF MapView::toScreen(double worldX, double worldY) const noexcept {
  return {width() / 2.0 + (worldX - centre_.x()) * scale_, height() / 2.0 - (worldY - centre_.y()) * scale_};
}

QPointF MapView::toWorld(QPointF screen) const noexcept {
  return {centre_.x() + (screen.x() - width() / 2.0) / scale_, centre_.y() - (screen.y() - height() / 2.0) / scale_};
}

std::optional<QPointF> MapView::screenPosOfRow(int row) const {
  if (!index_ || row < 0) return std::nullopt;
  const std::ptrdiff_t i = index_->itemOfRow(static_cast<std::size_t>(row));
  if (i < 0) return std::nullopt;
  const MapItem& it = index_->item(static_cast<std::size_t>(i));
  return toScreen(it.x, it.y);
}

void MapView::setSelectedRow(int row) {
  if (row == selectedRow_) return;
  selectedRow_ = row;
  update();
}

void MapView::centerOnRow(int row) {
  if (!index_ || row < 0) return;
  const std::ptrdiff_t i = index_->itemOfRow(static_cast<std::size_t>(row));
  if (i < 0) return;
  const MapItem& it = index_->item(static_cast<std::size_t>(i));
  fitPending_ = autoFit_ = false;
  centre_ = {it.x, it.y};
  update();
}

WorldRect MapView::visibleWorld(double marginPixels) const noexcept {
  const QPointF a = toWorld({-marginPixels, height() + marginPixels});
  const QPointF b = toWorld({width() + marginPixels, -marginPixels});
  return {a.x(), a.y(), b.x(), b.y()};
}

void MapView::resizeEvent(QResizeEvent*) {
  // Until the user moves the view, it follows the window's size.
  if (fitPending_ || autoFit_) fitAll();
}

void MapView::paintEvent(QPaintEvent*) {
  if (fitPending_) fitAll();
  const qreal dpr = devicePixelRatioF();
  QImage image(size() * dpr, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  renderFrame(image);
  QPainter p(this);
  p.drawImage(0, 0, image);
}

void MapView::renderFrame(QImage& image) const {
  image.fill(kBackground);
  {
    QPainter p(&image);
    drawGraticule(p);
  }
  const WorldRect view = visibleWorld(12);
  if (index_ && index_->size() > 0) {
    if (index_->countNear(view) > kDetailLimit) {
      drawMarksAsPixels(image, view);
    } else {
      QPainter p(&image);
      drawMarksInDetail(p, view);
      drawFindings(p, view);
    }
  }
  QPainter p(&image);
  drawDiff(p, view);
  drawSelection(p);
  drawScaleBar(p);
  drawLegend(p);
}

void MapView::drawGraticule(QPainter& p) const {
  const double lonScale = index_ ? index_->lonScale() : 1.0;
  const WorldRect v = visibleWorld(0);
  const double latStep = niceDegreeStep(60.0 / scale_);
  const double lonStep = niceDegreeStep(90.0 / (scale_ * lonScale));
  const double lonLeft = v.left / lonScale, lonRight = v.right / lonScale;

  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(kGridLine, 1));
  const double latFrom = std::max(std::ceil(v.bottom / latStep) * latStep, -90.0);
  const double latTo = std::min(v.top, 90.0);
  const double lonFrom = std::max(std::ceil(lonLeft / lonStep) * lonStep, -180.0);
  const double lonTo = std::min(lonRight, 180.0);
  // Line ends are kept on the world's edge so that rows beyond it stand out.
  const double xMin = std::max(toScreen(-180 * lonScale, 0).x(), -1.0);
  const double xMax = std::min(toScreen(180 * lonScale, 0).x(), width() + 1.0);
  const double yMin = std::max(toScreen(0, 90).y(), -1.0);
  const double yMax = std::min(toScreen(0, -90).y(), height() + 1.0);
  struct Label {
    double pos;
    QString text;
  };
  std::vector<Label> latLabels, lonLabels;
  for (int k = 0; k < 400; ++k) {
    const double lat = latFrom + k * latStep;
    if (lat > latTo) break;
    const double y = toScreen(0, lat).y();
    if (xMax > xMin) p.drawLine(QPointF(xMin, y), QPointF(xMax, y));
    latLabels.push_back({y, degreeLabel(lat, latStep, QLatin1Char('N'), QLatin1Char('S'))});
  }
  for (int k = 0; k < 400; ++k) {
    const double lon = lonFrom + k * lonStep;
    if (lon > lonTo) break;
    const double x = toScreen(lon * lonScale, 0).x();
    if (yMax > yMin) p.drawLine(QPointF(x, yMin), QPointF(x, yMax));
    lonLabels.push_back({x, degreeLabel(lon, lonStep, QLatin1Char('E'), QLatin1Char('W'))});
  }
  p.setPen(QPen(kWorldEdge, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(toScreen(-180 * lonScale, 90), toScreen(180 * lonScale, -90)));

  QFont f = font();
  f.setPointSizeF(f.pointSizeF() * 0.85);
  p.setFont(f);
  p.setPen(kLabel);
  const QFontMetrics fm(f);
  for (const Label& l : latLabels)
    if (l.pos > fm.height() && l.pos < height() - 2 * fm.height()) p.drawText(QPointF(4, l.pos - 3), l.text);
  for (const Label& l : lonLabels)
    if (l.pos > 40 && l.pos < width() - fm.horizontalAdvance(l.text) - 4)
      p.drawText(QPointF(l.pos + 3, height() - 4), l.text);
}

void MapView::drawMarksAsPixels(QImage& image, const WorldRect& view) const {
  const MapIndex& index = *index_;
  const double dpr = image.devicePixelRatio();
  const int w = image.width(), h = image.height();
  const double s = scale_ * dpr;
  const double ox = w / 2.0 - centre_.x() * s, oy = h / 2.0 + centre_.y() * s;
  auto* bits = image.bits();
  const qsizetype stride = image.bytesPerLine();

  std::vector<QRgb> palette(index.typeClasses().size());
  for (std::size_t c = 0; c < palette.size(); ++c) palette[c] = typeColour(index.typeClasses()[c], c).rgb();

  auto plot = [&](double x, double y, QRgb colour, int radius) {
    const double sx = x * s + ox, sy = oy - y * s;
    if (!(sx > -radius - 1 && sx < w + radius && sy > -radius - 1 && sy < h + radius)) return;
    const int cx = static_cast<int>(sx), cy = static_cast<int>(sy);
    const int x0 = std::max(cx - radius, 0), x1 = std::min(cx + radius, w - 1);
    const int y0 = std::max(cy - radius, 0), y1 = std::min(cy + radius, h - 1);
    for (int yy = y0; yy <= y1; ++yy) {
      auto* line = reinterpret_cast<QRgb*>(bits + yy * stride);
      for (int xx = x0; xx <= x1; ++xx) line[xx] = colour;
    }
  };

  const QRectF clip(-4, -4, w + 8, h + 8);
  std::vector<std::vector<QLineF>> lines(palette.size());
  std::vector<std::size_t> warned;
  auto addLine = [&](std::vector<QLineF>& out, const MapItem& it) {
    double x0 = it.x * s + ox, y0 = oy - it.y * s, x1 = it.x2 * s + ox, y1 = oy - it.y2 * s;
    if (clipSegment(x0, y0, x1, y1, clip)) out.emplace_back(x0 / dpr, y0 / dpr, x1 / dpr, y1 / dpr);
  };
  auto drawWritten = [&](std::size_t i) {
    const MapItem& it = index.item(i);
    if (it.mark != RowMark::kWritten) return;
    if (it.isSection() && std::abs(it.x2 - it.x) * s + std::abs(it.y2 - it.y) * s >= 1.5) {
      addLine(lines[it.colour], it);
    } else {
      plot(it.x, it.y, palette[it.colour], 1);
    }
  };
  if (index.cellWidth() * s < 2 && index.cellHeight() * s < 2) {
    // Far out a grid cell is at most two pixels: one dot per cell in its commonest colour
    // looks the same as a dot per row and costs a fraction, whatever the number of rows.
    index.forEachCellNear(
        view, [&](double x, double y, std::uint8_t colour) { plot(x, y, palette[colour], 1); }, drawWritten);
  } else {
    index.forEachNear(view, drawWritten);
  }
  for (std::uint32_t i : index.warned()) {
    const MapItem& it = index.item(i);
    const float x2 = it.isSection() ? it.x2 : it.x, y2 = it.isSection() ? it.y2 : it.y;
    if (std::max(it.x, x2) >= view.left && std::min(it.x, x2) <= view.right && std::max(it.y, y2) >= view.bottom &&
        std::min(it.y, y2) <= view.top)
      warned.push_back(i);
  }

  std::vector<QLineF> warnedLines[2];
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (std::size_t c = 0; c < lines.size(); ++c) {
      if (lines[c].empty()) continue;
      p.setPen(QPen(QColor::fromRgb(palette[c]), 1));
      p.drawLines(lines[c].data(), static_cast<int>(lines[c].size()));
    }
    for (std::size_t i : warned) {
      const MapItem& it = index.item(i);
      if (it.isSection()) addLine(warnedLines[it.mark == RowMark::kSkipped ? 0 : 1], it);
    }
    for (int k = 0; k < 2; ++k) {
      if (warnedLines[k].empty()) continue;
      p.setPen(QPen(markColour(k == 0 ? RowMark::kSkipped : RowMark::kAtZero), 2));
      p.drawLines(warnedLines[k].data(), static_cast<int>(warnedLines[k].size()));
    }
  }
  // Warnings last and larger, so that a few bad rows stay visible among a million good ones.
  for (std::size_t i : warned) {
    const MapItem& it = index.item(i);
    plot(it.x, it.y, it.mark == RowMark::kSkipped ? kSkippedColour : kAtZeroColour, 2);
  }
}

void MapView::drawMarksInDetail(QPainter& p, const WorldRect& view) const {
  const MapIndex& index = *index_;
  std::vector<std::size_t> written, warned;
  index.forEachNear(view,
                    [&](std::size_t i) { (index.item(i).mark == RowMark::kWritten ? written : warned).push_back(i); });
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRectF clip(-20, -20, width() + 40, height() + 40);

  auto drawSections = [&](const std::vector<std::size_t>& items) {
    for (std::size_t i : items) {
      const MapItem& it = index.item(i);
      if (!it.isSection()) continue;
      const QPointF a = toScreen(it.x, it.y), b = toScreen(it.x2, it.y2);
      double x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
      if (!clipSegment(x0, y0, x1, y1, clip)) continue;
      const QColor c = itemColour(index, it);
      // A dark casing tells a section's line from the points along the same road.
      p.setPen(QPen(c.darker(170), 4.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(x0, y0), QPointF(x1, y1));
      p.setPen(QPen(c, 2.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(x0, y0), QPointF(x1, y1));
      if (clip.contains(b)) {  // the end point: an open ring
        p.setBrush(Qt::white);
        p.setPen(QPen(c, 1.5));
        p.drawEllipse(b, 3.0, 3.0);
      }
    }
  };
  // Direction ticks only once the marks stand apart; further out they are a thicket.
  const bool ticks = scale_ >= kTickScale;
  auto drawPoints = [&](const std::vector<std::size_t>& items) {
    for (std::size_t i : items) {
      const MapItem& it = index.item(i);
      const QPointF a = toScreen(it.x, it.y);
      if (!clip.contains(a)) continue;
      const QColor c = itemColour(index, it);
      const double r = it.mark == RowMark::kWritten ? 4.0 : 5.0;
      if (ticks && it.direction != kNoDirection) {
        p.setPen(QPen(c.darker(140), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(a, a + compass(it.direction) * (r + 7));
      }
      p.setPen(QPen(c.darker(160), 1));
      p.setBrush(c);
      p.drawEllipse(a, r, r);
    }
  };
  drawSections(written);
  drawPoints(written);
  drawSections(warned);
  drawPoints(warned);
}

void MapView::drawSelection(QPainter& p) const {
  if (!index_ || selectedRow_ < 0) return;
  const std::ptrdiff_t i = index_->itemOfRow(static_cast<std::size_t>(selectedRow_));
  if (i < 0) return;
  const MapItem& it = index_->item(static_cast<std::size_t>(i));
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setBrush(Qt::NoBrush);
  const QPointF a = toScreen(it.x, it.y);
  std::vector<QPointF> rings{a};
  if (it.isSection()) rings.push_back(toScreen(it.x2, it.y2));
  for (const QPointF& c : rings) {
    if (!QRectF(rect()).adjusted(-20, -20, 20, 20).contains(c)) continue;
    p.setPen(QPen(Qt::white, 5));
    p.drawEllipse(c, 9.0, 9.0);
    p.setPen(QPen(Qt::black, 2));
    p.drawEllipse(c, 9.0, 9.0);
  }
}

void MapView::drawScaleBar(QPainter& p) const {
  const double pxPerKm = scale_ / kKmPerDegree;
  const double km = niceLength(120.0 / pxPerKm);
  const double len = km * pxPerKm;
  const QFontMetrics fm(font());
  const double x = 10, y = height() - fm.height() - 12;
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(kLabel, 2));
  p.drawLine(QPointF(x, y), QPointF(x + len, y));
  p.drawLine(QPointF(x, y - 4), QPointF(x, y + 1));
  p.drawLine(QPointF(x + len, y - 4), QPointF(x + len, y + 1));
  const QString text = km >= 1 ? QStringLiteral("%1 km").arg(km) : QStringLiteral("%1 m").arg(km * 1000);
  p.drawText(QPointF(x + len + 6, y + fm.ascent() / 2.0 - 1), text);
}

void MapView::drawLegend(QPainter& p) const {
  if (!index_ || !legendVisible_) return;
  struct Entry {
    QColor colour;
    QString text;
    bool ring = false;  // drawn as a ring, as the map marks findings
  };
  std::vector<Entry> entries;
  const auto& classes = index_->typeClasses();
  for (std::size_t c = 0; c < classes.size(); ++c) {
    const TypeClass& tc = classes[c];
    QString count;
    if (tc.points) count = QString::number(tc.points);
    if (tc.sections)
      count += (count.isEmpty() ? QString() : QStringLiteral(" + ")) + QStringLiteral("%1 sections").arg(tc.sections);
    entries.push_back({typeColour(tc, c),
                       (tc.other ? QStringLiteral("Other types") : QStringLiteral("TYPE %1").arg(tc.type)) +
                           QStringLiteral(": ") + count,
                       false});
  }
  entries.push_back({markColour(RowMark::kSkipped),
                     QStringLiteral("Not written, out of range: %1").arg(index_->count(RowMark::kSkipped)), false});
  entries.push_back({markColour(RowMark::kAtZero),
                     QStringLiteral("Written at 0, no number: %1").arg(index_->count(RowMark::kAtZero)), false});
  if (findings_) {
    entries.push_back({markColour(RowMark::kAtZero),
                       QStringLiteral("Ringed close in: %1 quality problems, %2 near duplicates")
                           .arg(findings_->problemRows().size())
                           .arg(findings_->joined().size()),
                       true});
  }
  if (diffMarks_) {
    // The comparison's classes, ringed as the map draws them (a moved camera: its line).
    std::size_t counts[4] = {};
    for (const DiffMark& m : *diffMarks_) ++counts[static_cast<int>(m.kind)];
    for (const compare::ChangeKind k : {compare::ChangeKind::kAdded, compare::ChangeKind::kRemoved,
                                        compare::ChangeKind::kMoved, compare::ChangeKind::kChanged}) {
      entries.push_back(
          {diffColour(k),
           QStringLiteral("%1: %2").arg(QString::fromLatin1(compare::kindName(k))).arg(counts[static_cast<int>(k)]),
           true});
    }
  }

  const QFontMetrics fm(font());
  const int lineH = fm.height() + 2;
  int textW = 0;
  for (const Entry& e : entries) textW = std::max(textW, fm.horizontalAdvance(e.text));
  const QRectF box(width() - textW - 40, 8, textW + 32, lineH * static_cast<double>(entries.size()) + 10);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(kWorldEdge, 1));
  p.setBrush(QColor(255, 255, 255, 225));
  p.drawRoundedRect(box, 4, 4);
  p.setFont(font());
  double y = box.top() + 5;
  for (const Entry& e : entries) {
    if (e.ring) {
      p.setPen(QPen(e.colour, 2));
      p.setBrush(Qt::NoBrush);
    } else {
      p.setPen(QPen(e.colour.darker(160), 1));
      p.setBrush(e.colour);
    }
    p.drawEllipse(QPointF(box.left() + 13, y + lineH / 2.0), 4.5, 4.5);
    p.setPen(kLabel);
    p.drawText(QPointF(box.left() + 24, y + (lineH + fm.ascent() - fm.descent()) / 2.0), e.text);
    y += lineH;
  }
}

void MapView::zoomAround(QPointF screen, double factor) {
  const QPointF anchor = toWorld(screen);
  scale_ = std::clamp(scale_ * factor, kMinScale, kMaxScale);
  // Keep the world point under the pointer where it was.
  centre_ = {anchor.x() - (screen.x() - width() / 2.0) / scale_, anchor.y() + (screen.y() - height() / 2.0) / scale_};
  fitPending_ = autoFit_ = false;
  update();
}

void MapView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches != 0) zoomAround(event->position(), std::pow(1.25, notches));
  event->accept();
}

void MapView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  pressed_ = true;
  dragging_ = false;
  pressPos_ = event->position().toPoint();
  lastPos_ = event->position();
}

void MapView::mouseMoveEvent(QMouseEvent* event) {
  emit pointerMoved(toWorld(event->position()));
  if (!pressed_) return QWidget::mouseMoveEvent(event);
  if (!dragging_ && (event->position().toPoint() - pressPos_).manhattanLength() > kClickSlop) {
    dragging_ = true;
    setCursor(Qt::ClosedHandCursor);
  }
  if (dragging_) {
    const QPointF d = event->position() - lastPos_;
    centre_ -= QPointF(d.x() / scale_, -d.y() / scale_);
    lastPos_ = event->position();
    fitPending_ = autoFit_ = false;
    update();
  }
}

void MapView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
  pressed_ = false;
  if (dragging_) {
    dragging_ = false;
    setCursor(Qt::OpenHandCursor);
    return;
  }
  if (!index_) return;
  const QPointF w = toWorld(event->position());
  const std::ptrdiff_t row = index_->rowAt(w.x(), w.y(), kHitRadius / scale_);
  if (row < 0) return;
  setSelectedRow(static_cast<int>(row));
  emit rowClicked(static_cast<int>(row));
}

void MapView::keyPressEvent(QKeyEvent* event) {
  const QPointF mid(width() / 2.0, height() / 2.0);
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomAround(mid, 1.5); break;
    case Qt::Key_Minus: zoomAround(mid, 1 / 1.5); break;
    case Qt::Key_Home: fitAll(); break;
    case Qt::Key_L: setLegendVisible(!legendVisible_); break;
    case Qt::Key_Left:
      centre_.rx() -= width() / 4.0 / scale_;
      autoFit_ = false;
      update();
      break;
    case Qt::Key_Right:
      centre_.rx() += width() / 4.0 / scale_;
      autoFit_ = false;
      update();
      break;
    case Qt::Key_Up:
      centre_.ry() += height() / 4.0 / scale_;
      autoFit_ = false;
      update();
      break;
    case Qt::Key_Down:
      centre_.ry() -= height() / 4.0 / scale_;
      autoFit_ = false;
      update();
      break;
    default: QWidget::keyPressEvent(event);
  }
}

}  // namespace solvane::map
