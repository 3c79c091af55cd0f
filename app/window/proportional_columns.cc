#include "app/window/proportional_columns.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>
#include <numeric>

namespace tillgate {

ProportionalColumns::ProportionalColumns(QTableView* view, std::vector<int> widths)
    : QObject(view), view_(view), widths_(std::move(widths)) {
  connect(view_->horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
    if (!applying_) operator_sized_ = true;
  });
  view_->viewport()->installEventFilter(this);
  Apply();
}

bool ProportionalColumns::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_->viewport() && event->type() == QEvent::Resize && !operator_sized_) Apply();
  return QObject::eventFilter(watched, event);
}

void ProportionalColumns::Apply() {
  const int total = std::accumulate(widths_.begin(), widths_.end(), 0);
  if (total <= 0) return;
  const double factor = std::max(1.0, double(view_->viewport()->width()) / total);
  applying_ = true;
  for (size_t column = 0; column < widths_.size(); ++column)
    view_->horizontalHeader()->resizeSection(static_cast<int>(column),
                                             static_cast<int>(widths_[column] * factor));
  applying_ = false;
}

}  // namespace tillgate
