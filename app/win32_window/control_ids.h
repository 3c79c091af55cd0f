#pragma once
// The window's own identifiers for its controls: the command identifier of
// each (its designer name's place, offset past the dialog answers), its
// window classes and colours.

#include <windows.h>

#include "app/presenter/control.h"

namespace tillgate {

inline constexpr int kFirstControlId = 1000;
inline constexpr int kDriveListId = 900;  // and 901
inline constexpr int kImageId = 910;
inline constexpr wchar_t kWindowClass[] = L"TillgateWindow";
inline constexpr wchar_t kPageClass[] = L"TillgatePage";
inline constexpr COLORREF kTeal = RGB(0x00, 0x80, 0x80);
inline constexpr COLORREF kNewestRow = RGB(0xff, 0xff, 0xb0);
inline constexpr COLORREF kAlertRed = RGB(0xb0, 0x00, 0x00);

inline constexpr int IdOf(Control control) { return kFirstControlId + static_cast<int>(control); }

// The control with command identifier `id`; false for any other.
inline bool ControlOfId(int id, Control* control) {
  if (id < kFirstControlId || id >= kFirstControlId + kControlCount) return false;
  *control = static_cast<Control>(id - kFirstControlId);
  return true;
}

}  // namespace tillgate
