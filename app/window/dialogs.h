#pragma once
// The modal message dialogs the window shows. Kept behind an interface so
// tests can answer them and see what was asked.

#include <QString>

namespace tillgate {

enum class DialogKind {
  kConfirmation,  // question icon, title "Confirm"
  kInformation,   // information icon, title "Information"
  kError,         // error icon, the application title "Tillgate"
};

// Buttons offered, combined with |.
enum DialogButton : unsigned {
  kButtonYes = 1,
  kButtonNo = 2,
  kButtonCancel = 4,
  kButtonOk = 8,
};

enum class DialogAnswer {
  kYes,
  kNo,
  kCancel,
  kOk,
  kClosed,  // dismissed without a button (close box, Escape without Cancel)
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows `text` modally and returns the button pressed.
  virtual DialogAnswer Show(DialogKind kind, const QString& text, unsigned buttons) = 0;
};

// Title of a dialog kind, as the operator sees it.
QString DialogTitle(DialogKind kind);

}  // namespace tillgate
