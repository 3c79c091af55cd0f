#pragma once
// Dialogs shown as QMessageBox, parented to a window.

#include "app/window/dialogs.h"

class QWidget;

namespace tillgate {

class MessageBoxDialogs final : public Dialogs {
 public:
  explicit MessageBoxDialogs(QWidget* parent) : parent_(parent) {}
  DialogAnswer Show(DialogKind kind, const QString& text, unsigned buttons) override;

 private:
  QWidget* parent_;
};

}  // namespace tillgate
