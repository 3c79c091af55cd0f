#include "app/win32_window/layout_scale.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace tillgate {
namespace {

constexpr double kDesignLetterWidth = 6.0;
constexpr double kDesignLineHeight = 13.0;
constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

int Scaled(int pixels, double factor) { return static_cast<int>(std::lround(pixels * factor)); }

// Measures on a screen context with `font` selected.
template <typename F>
void Measure(HFONT font, F&& measure) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  measure(dc);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
}

}  // namespace

int LayoutScale::X(int pixels) const { return Scaled(pixels, x); }
int LayoutScale::Y(int pixels) const { return Scaled(pixels, y); }

LayoutScale ScaleForFont(HFONT font) {
  LayoutScale scale;
  Measure(font, [&](HDC dc) {
    SIZE letters{};
    const int count = static_cast<int>(std::wcslen(kLetters));
    TEXTMETRICW metrics{};
    if (!GetTextExtentPoint32W(dc, kLetters, count, &letters) || !GetTextMetricsW(dc, &metrics))
      return;
    scale.x = std::max(1.0, letters.cx / static_cast<double>(count) / kDesignLetterWidth);
    scale.y = std::max(1.0, metrics.tmHeight / kDesignLineHeight);
  });
  return scale;
}

int TextWidth(HFONT font, const wchar_t* text) {
  SIZE size{};
  Measure(font, [&](HDC dc) {
    GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &size);
  });
  return size.cx;
}

}  // namespace tillgate
