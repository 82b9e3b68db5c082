#include "app/map/map_window.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace solvane::map {

MapWindow::MapWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Map"));
  view_ = new MapView(this);
  auto* fit = new QPushButton(QStringLiteral("Fit"), this);
  fit->setToolTip(QStringLiteral("Show all rows (Home)"));
  auto* compare = new QPushButton(QStringLiteral("Compare with..."), this);
  compare->setToolTip(QStringLiteral("Mark what differs from a database, lists or an import file"));
  status_ = new QLabel(this);
  pointer_ = new QLabel(this);
  pointer_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  pointer_->setMinimumWidth(pointer_->fontMetrics().horizontalAdvance(QStringLiteral("000.00000°N 000.00000°W")));

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(fit);
  bottom->addWidget(compare);
  bottom->addWidget(status_, 1);
  bottom->addWidget(pointer_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(view_, 1);
  layout->addLayout(bottom);
  resize(900, 680);

  connect(fit, &QPushButton::clicked, view_, &MapView::fitAll);
  connect(compare, &QPushButton::clicked, this, &MapWindow::compareRequested);
  connect(view_, &MapView::rowClicked, this, &MapWindow::rowClicked);
  connect(view_, &MapView::pointerMoved, this, &MapWindow::updateStatus);
}

void MapWindow::showTable(const CameraTable& table, bool keepView, std::shared_ptr<const TableFindings> findings) {
  auto index = std::make_shared<const MapIndex>(MapIndex::build(table));
  const std::size_t skipped = index->count(RowMark::kSkipped), atZero = index->count(RowMark::kAtZero);
  QString status = QStringLiteral("%1 rows, %2 not written (out of range), %3 written at 0")
                       .arg(index->size())
                       .arg(skipped)
                       .arg(atZero);
  if (findings) {
    status += QStringLiteral(", %1 with a quality problem, %2 near duplicates joined")
                  .arg(findings->problemRows().size())
                  .arg(findings->joined().size());
  }
  tableStatus_ = status;
  status_->setText(statusText());
  view_->setFindings(std::move(findings));
  if (keepView) {
    const QPointF centre = view_->viewCentre();
    const double scale = view_->pixelsPerDegree();
    view_->setIndex(std::move(index));
    view_->setView(centre, scale);
  } else {
    view_->setIndex(std::move(index));
  }
}

void MapWindow::setDiffStatus(const QString& text) {
  diffStatus_ = text;
  status_->setText(statusText());
}

QString MapWindow::statusText() const {
  return diffStatus_.isEmpty() ? tableStatus_ : tableStatus_ + QStringLiteral("; ") + diffStatus_;
}

void MapWindow::selectAndCenter(int row) {
  view_->setSelectedRow(row);
  view_->centerOnRow(row);
}

void MapWindow::updateStatus(QPointF world) {
  const MapIndex* index = view_->index();
  const double lon = index ? index->toLongitude(world.x()) : world.x();
  const double lat = world.y();
  pointer_->setText(QStringLiteral("%1°%2 %3°%4")
                        .arg(std::abs(lat), 0, 'f', 5)
                        .arg(lat >= 0 ? QLatin1Char('N') : QLatin1Char('S'))
                        .arg(std::abs(lon), 0, 'f', 5)
                        .arg(lon >= 0 ? QLatin1Char('E') : QLatin1Char('W')));
}

}  // namespace solvane::map
