#include "app/window/font_scale.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace tillgate {
namespace {

// The original 8-point face at 96 dots per inch: letters about 6 pixels
// wide on average, lines 13 pixels high.
constexpr double kDesignLetterWidth = 6.0;
constexpr double kDesignLineHeight = 13.0;

int Scaled(int pixels, double factor) { return static_cast<int>(std::lround(pixels * factor)); }

}  // namespace

int LayoutScale::X(int pixels) const { return Scaled(pixels, x); }
int LayoutScale::Y(int pixels) const { return Scaled(pixels, y); }

QRect LayoutScale::Rect(int left, int top, int width, int height) const {
  return QRect(X(left), Y(top), X(width), Y(height));
}

QSize LayoutScale::Size(int width, int height) const { return QSize(X(width), Y(height)); }

LayoutScale ScaleForFont(const QFont& font) {
  const QFontMetricsF metrics(font);
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const double letter = metrics.horizontalAdvance(kLetters) / kLetters.size();
  LayoutScale scale;
  scale.x = std::max(1.0, letter / kDesignLetterWidth);
  scale.y = std::max(1.0, metrics.height() / kDesignLineHeight);
  return scale;
}

QString WidestDigits(const QFont& font, const QString& pattern) {
  const QFontMetricsF metrics(font);
  QChar widest = QLatin1Char('0');
  for (QChar digit = QLatin1Char('1'); digit <= QLatin1Char('9');
       digit = QChar(digit.unicode() + 1))
    if (metrics.horizontalAdvance(digit) > metrics.horizontalAdvance(widest)) widest = digit;
  QString text = pattern;
  text.replace(QLatin1Char('9'), widest);
  return text;
}

std::vector<int> FittedColumnWidths(const std::vector<ColumnDesign>& columns, const QFont& font,
                                    int margins) {
  const QFontMetricsF metrics(font);
  double factor = 1.0;
  for (const ColumnDesign& column : columns) {
    if (column.sized_for.isEmpty() || column.width <= 0) continue;
    const double needed = std::ceil(metrics.horizontalAdvance(column.sized_for)) + margins;
    factor = std::max(factor, needed / column.width);
  }
  std::vector<int> widths;
  for (const ColumnDesign& column : columns)
    widths.push_back(static_cast<int>(std::ceil(column.width * factor)));
  return widths;
}

int CellMargins(const QAbstractItemView* view) {
  const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
  return 2 * margin + 1;
}

}  // namespace tillgate
