// Screen geometry in twips, the unit the layouts are given in (15 twips to a pixel at 100 %).
#pragma once

#include <QColor>
#include <QRect>
#include <QSize>
#include <cstdint>

namespace momiru::ui {

inline constexpr int kTwipsPerPixel = 15;

// Nearest pixel; the layouts are mostly whole pixels, the falling logo is not.
constexpr int px(int twips) {
  return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                    : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
  return QRect(px(left), px(top), px(width), px(height));
}

constexpr QSize twipsSize(int width, int height) { return QSize(px(width), px(height)); }

// A colour as one number holds blue, green and red from the high byte down: 0xFFC0C0 is red C0,
// green C0, blue FF.
inline QColor bgr(std::uint32_t value) {
  return QColor::fromRgb(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                         static_cast<int>((value >> 16) & 0xFFu));
}

}  // namespace momiru::ui
