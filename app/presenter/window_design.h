#pragma once
// The main window as drawn, in pixels for a small 8-point face: its size,
// the height of the pages above the foot, the exit button's place. Every
// view grows these by how much larger its font is.

namespace tillgate {

inline constexpr int kDesignWidth = 544;
inline constexpr int kDesignHeight = 375;
inline constexpr int kDesignPagesHeight = 338;
inline constexpr int kDesignFootGap = kDesignHeight - 344;  // exit button top to window bottom
inline constexpr int kDesignButton1Right = kDesignWidth - 456;
inline constexpr int kMargin = 8;

}  // namespace tillgate
