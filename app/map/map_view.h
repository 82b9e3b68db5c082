// The map preview canvas: draws a MapIndex on a graticule, zooms with the wheel around the
// pointer, pans by dragging, selects a row by a click.
//
// It paints into one image per frame. Far out, where a frame may hold a million rows, marks
// are written straight into the image's pixels from the grid cells in view; close in, where
// few rows are visible, each gets an antialiased mark with its direction tick.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QWidget>

#include <memory>
#include <optional>

#include <vector>

#include "check/table_findings.h"
#include "compare/release_diff.h"
#include "map/map_index.h"

namespace solvane::map {

// A difference against another release ("Compare with..."), drawn over the marks at any zoom:
// where the camera is now (a removed one: where it was), and for a moved one where it was.
struct DiffMark {
  compare::ChangeKind kind = compare::ChangeKind::kAdded;
  double lon = 0, lat = 0;
  std::optional<QPointF> from;  // moved: (longitude, latitude) before
};

class MapView : public QWidget {
  Q_OBJECT

 public:
  explicit MapView(QWidget* parent = nullptr);

  // Shows a new table's rows and fits the view to them.
  void setIndex(std::shared_ptr<const MapIndex> index);
  [[nodiscard]] const MapIndex* index() const noexcept { return index_.get(); }

  // The table's quality findings: close in, near duplicates are joined by a line and rows
  // with a quality problem get a ring in the colour of rows written wrong. Null: none.
  void setFindings(std::shared_ptr<const TableFindings> findings);
  [[nodiscard]] const TableFindings* findings() const noexcept { return findings_.get(); }

  // The differences to draw; null: none.
  void setDiffMarks(std::shared_ptr<const std::vector<DiffMark>> marks);
  [[nodiscard]] const std::vector<DiffMark>* diffMarks() const noexcept { return diffMarks_.get(); }
  [[nodiscard]] static QColor diffColour(compare::ChangeKind kind);

  // Fits the view to the rows written where they stand.
  void fitAll();
  // Centre in plane coordinates and the zoom in pixels per degree of latitude.
  void setView(QPointF centre, double pixelsPerDegree);
  [[nodiscard]] QPointF viewCentre() const noexcept { return centre_; }
  [[nodiscard]] double pixelsPerDegree() const noexcept { return scale_; }

  [[nodiscard]] QPointF toScreen(double worldX, double worldY) const noexcept;
  [[nodiscard]] QPointF toWorld(QPointF screen) const noexcept;
  // Where a row's (first) point is drawn; nothing for a row the map does not hold.
  [[nodiscard]] std::optional<QPointF> screenPosOfRow(int row) const;

  [[nodiscard]] int selectedRow() const noexcept { return selectedRow_; }

  // The legend box in the top right corner (on by default; key L toggles it).
  void setLegendVisible(bool visible);
  [[nodiscard]] bool legendVisible() const noexcept { return legendVisible_; }

  // Colours, shared with the legend and the tests.
  [[nodiscard]] static QColor typeColour(const TypeClass& typeClass, std::size_t classIndex);
  [[nodiscard]] static QColor markColour(RowMark mark);

  // Above this many rows near the view, marks are drawn as plain pixels.
  static constexpr std::size_t kDetailLimit = 20000;
  // From this zoom on (pixels per degree, about 370 m a pixel) points show their direction.
  static constexpr double kTickScale = 300.0;

 public slots:
  void setSelectedRow(int row);
  void centerOnRow(int row);

 signals:
  // A click on a mark or a section line (not the end of a drag).
  void rowClicked(int row);
  // The plane position under the mouse pointer, as it moves.
  void pointerMoved(QPointF world);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void zoomAround(QPointF screen, double factor);
  void renderFrame(QImage& image) const;
  void drawGraticule(QPainter& p) const;
  void drawMarksAsPixels(QImage& image, const WorldRect& view) const;
  void drawMarksInDetail(QPainter& p, const WorldRect& view) const;
  void drawSelection(QPainter& p) const;
  void drawFindings(QPainter& p, const WorldRect& view) const;
  void drawDiff(QPainter& p, const WorldRect& view) const;
  void drawLegend(QPainter& p) const;
  void drawScaleBar(QPainter& p) const;
  [[nodiscard]] WorldRect visibleWorld(double marginPixels) const noexcept;

  std::shared_ptr<const MapIndex> index_;
  std::shared_ptr<const TableFindings> findings_;
  std::shared_ptr<const std::vector<DiffMark>> diffMarks_;
  QPointF centre_{0, 0};
  double scale_ = 1.0;  // pixels per degree of latitude
  bool fitPending_ = true;
  bool autoFit_ = false;  // fitted and not moved since
  int selectedRow_ = -1;
  bool legendVisible_ = true;
  QPoint pressPos_;
  QPointF lastPos_;
  bool pressed_ = false;
  bool dragging_ = false;
};

}  // namespace solvane::map
