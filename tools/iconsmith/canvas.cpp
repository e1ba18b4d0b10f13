#include "canvas.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace iconsmith {
namespace {

constexpr Rgb kPalette[16] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                              {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                              {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                              {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

struct Glyph {
  char c;
  const char* rows[7];
};

constexpr Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'I', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'d', {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."}},
    {'n', {".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"}},
    {'t', {".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##."}},
    {'u', {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"}},
    {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
};

const Glyph* glyphOf(char c) {
  for (const Glyph& g : kFont)
    if (g.c == c) return &g;
  return nullptr;
}

int distance(Rgb a, Rgb b) {
  const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

}  // namespace

void Canvas::fill(Rgb c) {
  rect(0, 0, kSize - 1, kSize - 1, c);
}

void Canvas::pixel(int x, int y, Rgb c) {
  if (x >= 0 && y >= 0 && x < kSize && y < kSize) pixels_[y][x] = c;
}

void Canvas::rect(int x0, int y0, int x1, int y1, Rgb c) {
  for (int y = std::max(0, y0); y <= std::min(kSize - 1, y1); ++y)
    for (int x = std::max(0, x0); x <= std::min(kSize - 1, x1); ++x)
      pixels_[y][x] = c;
}

void Canvas::text(std::string_view s, int cx, int cy, int scale, Rgb c) {
  const int width = int(s.size()) * 6 * scale - scale;
  int x = cx - width / 2;
  const int y = cy - 7 * scale / 2;
  for (char ch : s) {
    if (const Glyph* g = glyphOf(ch))
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
          if (g->rows[row][col] == '#')
            rect(x + col * scale, y + row * scale, x + col * scale + scale - 1,
                 y + row * scale + scale - 1, c);
    x += 6 * scale;
  }
}

void Canvas::line(int x0, int y0, int x1, int y1, Rgb c) {
  const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
  for (int i = 0; i <= steps; ++i) {
    const double t = steps ? double(i) / steps : 0.0;
    pixel(int(std::lround(x0 + (x1 - x0) * t)), int(std::lround(y0 + (y1 - y0) * t)), c);
  }
}

void Canvas::darken(double factor) {
  for (auto& row : pixels_)
    for (Rgb& p : row)
      p = {int(std::lround(p.r * factor)), int(std::lround(p.g * factor)),
           int(std::lround(p.b * factor))};
}

std::array<uint8_t, kSize * kSize> Canvas::quantise() const {
  // A 4 x 4 Bayer matrix spreads the in-between shades over the few palette colours.
  static constexpr int kBayer[4][4] = {
      {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  std::array<uint8_t, kSize * kSize> out{};
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const Rgb p = pixels_[y][x];
      // Exact palette colours stay; others are nudged by the threshold before matching.
      const int nudge = (kBayer[y & 3][x & 3] - 8) * 6;
      const Rgb probe{std::clamp(p.r + nudge, 0, 255), std::clamp(p.g + nudge, 0, 255),
                      std::clamp(p.b + nudge, 0, 255)};
      int best = -1;
      for (int i = 0; i < 16 && best < 0; ++i)
        if (distance(kPalette[i], p) == 0) best = i;
      if (best < 0) {
        best = 0;
        for (int i = 1; i < 16; ++i)
          if (distance(kPalette[i], probe) < distance(kPalette[best], probe)) best = i;
      }
      out[y * kSize + x] = uint8_t(best);
    }
  }
  return out;
}

}  // namespace iconsmith
