#include "app/window/about_picture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tillgate {

QPixmap DrawAboutPicture(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 100.0, size / 100.0);

  // Counter.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x6d, 0x4c, 0x41));
  p.drawRect(QRectF(4, 78, 92, 10));

  // Body of the register.
  QLinearGradient body(0, 40, 0, 78);
  body.setColorAt(0, QColor(0x4d, 0xb6, 0xac));
  body.setColorAt(1, QColor(0x00, 0x69, 0x5c));
  p.setBrush(body);
  p.setPen(QPen(QColor(0x00, 0x4d, 0x40), 1.2));
  QPainterPath path;
  path.moveTo(14, 78);
  path.lineTo(20, 44);
  path.lineTo(80, 44);
  path.lineTo(86, 78);
  path.closeSubpath();
  p.drawPath(path);

  // Display on its post.
  p.setBrush(QColor(0x26, 0x32, 0x38));
  p.drawRect(QRectF(44, 30, 12, 14));
  p.drawRoundedRect(QRectF(28, 12, 44, 20), 3, 3);
  p.setBrush(QColor(0x76, 0xff, 0x03));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(32, 16, 36, 12));
  p.setPen(QColor(0x1b, 0x5e, 0x20));
  QFont digits(QStringLiteral("DejaVu Sans Mono"));
  digits.setPixelSize(9);
  digits.setBold(true);
  p.setFont(digits);
  p.drawText(QRectF(32, 16, 35, 12), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("12.50"));

  // Keys.
  p.setPen(QPen(QColor(0x37, 0x47, 0x4f), 0.6));
  p.setBrush(QColor(0xec, 0xef, 0xf1));
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 5; ++column)
      p.drawRoundedRect(QRectF(26 + column * 10 - row * 1.5, 48 + row * 8, 7, 5.5), 1, 1);

  // Drawer.
  p.setBrush(QColor(0x00, 0x4d, 0x40));
  p.drawRect(QRectF(16, 72, 68, 6));
  p.setBrush(QColor(0xff, 0xd5, 0x4f));
  p.drawRect(QRectF(46, 74, 8, 2));
  return pixmap;
}

}  // namespace tillgate
