#include "app/presenter/dialog_kind.h"

namespace tillgate {

const char* DialogTitle(DialogKind kind) {
  switch (kind) {
    case DialogKind::kConfirmation:
      return "Confirm";
    case DialogKind::kInformation:
      return "Information";
    case DialogKind::kError:
      return "Tillgate";  // the application title, as for any failed operation
  }
  return "";
}

}  // namespace tillgate
