#pragma once
// The picture of the information page, drawn rather than shipped.

#include <QPixmap>

namespace tillgate {

// A cash register on a counter, `size` x `size` pixels.
QPixmap DrawAboutPicture(int size);

}  // namespace tillgate
