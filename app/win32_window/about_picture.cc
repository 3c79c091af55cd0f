#include "app/win32_window/about_picture.h"

#include <algorithm>
#include <cmath>

namespace tillgate {
namespace {

// Drawing units: the square is 100 across.
class Canvas {
 public:
  Canvas(HDC dc, const RECT& square)
      : dc_(dc),
        left_(square.left),
        top_(square.top),
        unit_(std::min(square.right - square.left, square.bottom - square.top) / 100.0) {}

  int X(double x) const { return left_ + static_cast<int>(std::lround(x * unit_)); }
  int Y(double y) const { return top_ + static_cast<int>(std::lround(y * unit_)); }

  void Rect(double x, double y, double width, double height, COLORREF fill, COLORREF edge) {
    Paint(fill, edge, [&] { Rectangle(dc_, X(x), Y(y), X(x + width), Y(y + height)); });
  }
  void Rounded(double x, double y, double width, double height, double radius, COLORREF fill,
               COLORREF edge) {
    Paint(fill, edge, [&] {
      RoundRect(dc_, X(x), Y(y), X(x + width), Y(y + height), X(radius) - left_, Y(radius) - top_);
    });
  }
  void Shape(const POINT* points, int count, COLORREF fill, COLORREF edge) {
    Paint(fill, edge, [&] { Polygon(dc_, points, count); });
  }
  HDC dc() const { return dc_; }

 private:
  template <typename F>
  void Paint(COLORREF fill, COLORREF edge, F&& draw) {
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, edge);
    HGDIOBJ old_brush = SelectObject(dc_, brush);
    HGDIOBJ old_pen = SelectObject(dc_, pen);
    draw();
    SelectObject(dc_, old_brush);
    SelectObject(dc_, old_pen);
    DeleteObject(brush);
    DeleteObject(pen);
  }

  HDC dc_;
  int left_;
  int top_;
  double unit_;
};

}  // namespace

void DrawAboutPicture(HDC dc, const RECT& square) {
  FillRect(dc, &square, GetSysColorBrush(COLOR_BTNFACE));
  Canvas c(dc, square);
  const COLORREF wood = RGB(0x6d, 0x4c, 0x41);
  c.Rect(4, 78, 92, 10, wood, wood);  // counter

  const POINT body[] = {
      {c.X(14), c.Y(78)}, {c.X(20), c.Y(44)}, {c.X(80), c.Y(44)}, {c.X(86), c.Y(78)}};
  c.Shape(body, 4, RGB(0x26, 0x9a, 0x8e), RGB(0x00, 0x4d, 0x40));

  const COLORREF dark = RGB(0x26, 0x32, 0x38);
  c.Rect(44, 30, 12, 14, dark, dark);  // the display's post
  c.Rounded(28, 12, 44, 20, 3, dark, dark);
  const COLORREF lit = RGB(0x76, 0xff, 0x03);
  c.Rect(32, 16, 36, 12, lit, lit);
  HFONT digits = CreateFontW(-(c.Y(9) - c.Y(0)), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, FIXED_PITCH, L"Courier New");
  HGDIOBJ old_font = SelectObject(dc, digits);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0x1b, 0x5e, 0x20));
  RECT display{c.X(32), c.Y(16), c.X(67), c.Y(28)};
  DrawTextW(dc, L"12.50", -1, &display, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old_font);
  DeleteObject(digits);

  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 5; ++column)
      c.Rounded(26 + column * 10 - row * 1.5, 48 + row * 8, 7, 5.5, 1, RGB(0xec, 0xef, 0xf1),
                RGB(0x37, 0x47, 0x4f));  // keys

  const COLORREF drawer = RGB(0x00, 0x4d, 0x40);
  c.Rect(16, 72, 68, 6, drawer, drawer);
  c.Rect(46, 74, 8, 2, RGB(0xff, 0xd5, 0x4f), RGB(0xff, 0xd5, 0x4f));
}

}  // namespace tillgate
