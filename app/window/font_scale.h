#pragma once
// The window was drawn in pixels for a small 8-point face. With the fonts of
// this platform the same texts are wider, so positions, sizes and grid
// columns grow by how much larger the font in use is; they never shrink.

#include <QFont>
#include <QRect>
#include <QString>
#include <vector>

class QAbstractItemView;

namespace tillgate {

struct LayoutScale {
  double x = 1.0;
  double y = 1.0;

  int X(int pixels) const;
  int Y(int pixels) const;
  QRect Rect(int left, int top, int width, int height) const;
  QSize Size(int width, int height) const;
};

// How much larger than the original face `font` is, across and down (each
// at least 1).
LayoutScale ScaleForFont(const QFont& font);

// `pattern` with every '9' replaced by the widest digit of `font`, so that
// any number of that shape fits where the pattern fits.
QString WidestDigits(const QFont& font, const QString& pattern);

// A column as drawn, and the text it was drawn to hold (empty: none).
struct ColumnDesign {
  int width;
  QString sized_for;
};

// The columns' widths grown by one common factor (at least 1, so the
// ratios between the columns stay) that is just large enough for every
// column to show its text whole in `font`, with `margins` pixels beside the
// text.
std::vector<int> FittedColumnWidths(const std::vector<ColumnDesign>& columns, const QFont& font,
                                    int margins);

// Pixels a cell of `view` keeps beside its text: the margin on either side
// and the grid line.
int CellMargins(const QAbstractItemView* view);

}  // namespace tillgate
