#pragma once
// The window was drawn in pixels for a small 8-point face at 96 dots per
// inch. The system's message font (at the screen's resolution) is larger,
// so positions, sizes and grid columns grow by how much larger it is; they
// never shrink.

#include <windows.h>

namespace tillgate {

struct LayoutScale {
  double x = 1.0;
  double y = 1.0;

  int X(int pixels) const;
  int Y(int pixels) const;
};

// How much larger than the original face `font` is, across and down (each
// at least 1), measured on the screen.
LayoutScale ScaleForFont(HFONT font);

// Pixels a grid cell keeps beside its text.
inline constexpr int kCellMargins = 14;

// The pixel width `text` takes in `font` on the screen.
int TextWidth(HFONT font, const wchar_t* text);

}  // namespace tillgate
