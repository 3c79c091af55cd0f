#pragma once
// The modal message dialogs the window asks: their kinds, the buttons they
// offer and the answers they give.

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

// Title of a dialog kind, as the operator sees it.
const char* DialogTitle(DialogKind kind);

}  // namespace tillgate
