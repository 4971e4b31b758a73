#pragma once
// Colours as the drawing code states them: one 24-bit value 0x00BBGGRR, so that the
// literals of the plots (&HFF0000 is blue) and RGB(r, g, b) keep their meaning.
#include <QColor>
#include <cstdint>

namespace ui {

using Color = std::int32_t;

constexpr Color RGB(int r, int g, int b) {
  return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

inline QColor ToQColor(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

inline Color FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

}  // namespace ui
