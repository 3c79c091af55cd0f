#pragma once
// The list of recent events, newest first, with the same texts as the
// terminal's event lines. It follows the log while it is open.

#include <QDialog>
#include <cstdint>
#include <vector>

#include "app/presenter/problem_tracker.h"

class QTableWidget;

namespace tillgate {

class EventListDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit EventListDialog(QWidget* parent = nullptr);

  // Shows `events` (newest first).
  void Fill(const std::vector<KeptEvent>& events);
  // The newest event shown; 0 when none.
  uint64_t NewestShown() const { return newest_shown_; }

 private:
  QTableWidget* table_;
  uint64_t newest_shown_ = 0;
};

}  // namespace tillgate
