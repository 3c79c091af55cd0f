#pragma once
// The modal message dialogs the window shows. Kept behind an interface so
// tests can answer them and see what was asked.

#include <QString>

#include "app/presenter/dialog_kind.h"

namespace tillgate {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows `text` modally and returns the button pressed.
  virtual DialogAnswer Show(DialogKind kind, const QString& text, unsigned buttons) = 0;
};

}  // namespace tillgate
