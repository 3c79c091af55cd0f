#include "app/window/choice_signals.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QTimer>
#include <memory>

namespace tillgate {

void OnChoice(QComboBox* box, std::function<bool()> muted, std::function<void(int)> chosen) {
  // Qt announces a pick that changes the item twice (changed, then
  // activated, in one go); the second announcement of it is dropped.
  auto announced = std::make_shared<bool>(false);
  QObject::connect(box, &QComboBox::currentIndexChanged, box, [=](int item) {
    if (item < 0 || muted()) return;
    chosen(item);
    *announced = true;
    QTimer::singleShot(0, box, [announced] { *announced = false; });
  });
  QObject::connect(box, &QComboBox::activated, box, [=](int item) {
    if (*announced) {
      *announced = false;
      return;
    }
    if (item >= 0 && !muted()) chosen(item);
  });
  // The list's own selection moves with the mouse only while it is open.
  QObject::connect(box->view()->selectionModel(), &QItemSelectionModel::selectionChanged, box,
                   [box] {
                     if (box->view()->isVisible()) return;
                     const QModelIndexList rows = box->view()->selectionModel()->selectedRows();
                     if (rows.size() == 1 && rows.front().row() != box->currentIndex())
                       box->setCurrentIndex(rows.front().row());
                   });
}

}  // namespace tillgate
