// Geometry, colours, fonts and keys shared by the toolkit's controls, canvases and hosts.
#pragma once

#include <cstdint>
#include <string>

namespace KVL::UI {

struct TKVLPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TKVLPoint&) const = default;
};

struct TKVLSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const TKVLSize&) const = default;
};

// Left and top inside, right and bottom outside (Windows' RECT).
struct TKVLRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  static TKVLRect FromBounds(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
  }
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(TKVLPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  TKVLRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  // Each edge moved inward by the given amounts.
  TKVLRect Inflate(int dx, int dy) const { return {Left - dx, Top - dy, Right + dx, Bottom + dy}; }
  TKVLRect Intersect(const TKVLRect& r) const;
  bool operator==(const TKVLRect&) const = default;
};

// Four distances from the edges, as docking margins are given.
struct TKVLMargins {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool operator==(const TKVLMargins&) const = default;
};

// 0xRRGGBB, always opaque.
struct TKVLColor {
  uint32_t Rgb = 0;
  constexpr TKVLColor() = default;
  constexpr explicit TKVLColor(uint32_t rgb) : Rgb(rgb & 0xFFFFFFu) {}
  constexpr uint8_t R() const { return static_cast<uint8_t>(Rgb >> 16); }
  constexpr uint8_t G() const { return static_cast<uint8_t>(Rgb >> 8); }
  constexpr uint8_t B() const { return static_cast<uint8_t>(Rgb); }
  bool operator==(const TKVLColor&) const = default;
};

// A font in points; the canvas turns points into pixels at its own dots per inch.
struct TKVLFont {
  std::string Name = "Segoe UI";
  double SizePt = 9;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  bool operator==(const TKVLFont&) const = default;
};

enum class TKVLTextAlign { taLeft, taCenter, taRight };
enum class TKVLVerticalAlign { vaTop, vaCenter, vaBottom };

// Docking, as the wizard's pages use it.
enum class TKVLAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

enum class TKVLMouseButton { mbLeft, mbRight, mbMiddle };

// Keys the toolkit handles itself; anything else arrives as text (KeyChar). Ctrl with a
// letter arrives as that letter's control character (Ctrl+A: "\x01"), whatever the layout.
enum class TKVLKey {
  kNone, kEnter, kEscape, kTab, kSpace, kBackspace, kDelete, kLeft, kRight, kUp, kDown, kHome, kEnd,
  kPageUp, kPageDown, kF4, kInsert
};

struct TKVLShiftState {
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;
};

// A length given at 96 dots per inch at dpi: unchanged at 96, else v × dpi ÷ 96 rounded to
// the nearest integer, halves away from zero.
int ScaleValue(int value, int dpi);
// A rectangle given at 96 dots per inch, each edge scaled with ScaleValue.
TKVLRect ScaleRect(const TKVLRect& rect, int dpi);
// Points to pixels at dpi (pt × dpi ÷ 72), as canvases size fonts.
double PointsToPixels(double points, int dpi);

} // namespace KVL::UI
