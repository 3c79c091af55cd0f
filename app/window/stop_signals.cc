#include "app/window/stop_signals.h"

#include <QMetaObject>
#include <QWidget>

namespace tillgate {

CloseOnStopRequests::CloseOnStopRequests(QWidget* window, ControlRequests& requests)
    : requests_(requests) {
  watcher_ = std::thread([this, window] {
    while (true) {
      const ControlRequest request = requests_.Wait(std::chrono::minutes(1));
      if (done_.load()) break;
      if (request.kind == ControlRequest::Kind::kNone) continue;
      // Closed on the window's own thread, between two of its events.
      QMetaObject::invokeMethod(
          window, [window] { window->close(); }, Qt::QueuedConnection);
    }
  });
}

CloseOnStopRequests::~CloseOnStopRequests() {
  done_ = true;
  requests_.Post({ControlRequest::Kind::kStop, "window gone"});
  watcher_.join();
}

}  // namespace tillgate
