#pragma once
// What a register shows for one served goods operation: the display text
// (one or two 15-character lines) and the section character. Pure functions;
// the amount in kopecks comes from the store, the line object sends the frame.

#include <cstdint>

#include "store/goods_request.h"

namespace tillgate {

inline constexpr int kDisplayLineLength = 15;
inline constexpr int kOneLineText = 15;
inline constexpr int kTwoLineText = 32;
// The text is composed in a slightly larger buffer: the price-quantity line
// of display line 2 writes one byte past the text while it is being built.
inline constexpr int kTextBufferSize = 34;

// Composes the display text for the line's two name-line letters ("N" name,
// "C" price and quantity; any other letter, zero included, is allowed) into
// `text`. Returns the text length, 15 or 32; bytes beyond it are scratch.
int ComposeText(const GoodsDisplay& goods, char first_letter, char second_letter,
                char (&text)[kTextBufferSize]);

// Writes name characters 1..15 into display line 1 or 2 of `text`. A name
// shorter than that is padded with spaces.
void NameLine(const GoodsDisplay& goods, int display_line, char (&text)[kTextBufferSize]);

// Writes the price at the left and "*quantity" at the right of display line
// 1 or 2 of `text`, e.g. "12.50      *1.5".
void PriceQuantityLine(const GoodsDisplay& goods, int display_line, char (&text)[kTextBufferSize]);

// The section character sent to the register: "1".."6" as they are, any
// other value as "1".
char SectionCharacter(char section);

}  // namespace tillgate
