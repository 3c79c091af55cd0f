#pragma once
// The picture on the information page: a cash register on its counter,
// drawn to fit a square.

#include <windows.h>

namespace tillgate {

void DrawAboutPicture(HDC dc, const RECT& square);

}  // namespace tillgate
