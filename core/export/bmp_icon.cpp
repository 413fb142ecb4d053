#include "core/export/bmp_icon.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace tabrino {
namespace {

constexpr std::uint32_t kWhite = 0xffffff;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kOutline = 0x333333;

// Digits 3 pixels wide and 5 high, a row per number, the top bit leftmost.
constexpr std::array<std::array<std::uint8_t, 5>, 10> kDigits = {{
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 3, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 2, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
}};

// Whether the point (x, y), in units of the icon's half width from its
// centre (y down), lies inside the shape.
bool inside(IconShape shape, double x, double y) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  switch (shape) {
    case IconShape::Circle: return x * x + y * y <= 1.0;
    case IconShape::Square: return ax <= 0.85 && ay <= 0.85;
    case IconShape::Diamond: return ax + ay <= 1.0;
    case IconShape::Triangle: return y <= 0.8 && y >= -1.0 && ax <= (y + 1.0) / 1.8 * 0.95;
    case IconShape::TriangleDown: return y >= -0.8 && y <= 1.0 && ax <= (1.0 - y) / 1.8 * 0.95;
    case IconShape::Cross: return (ax <= 0.35 && ay <= 1.0) || (ay <= 0.35 && ax <= 1.0);
    case IconShape::Saltire: return std::fabs(x - y) <= 0.5 && std::fabs(x + y) <= 1.9 ? true
                                   : std::fabs(x + y) <= 0.5 && std::fabs(x - y) <= 1.9;
    case IconShape::Hexagon: return ay <= 0.87 && ax + ay * 0.577 <= 1.0;
  }
  return false;
}

class Picture {
 public:
  Picture() : pixels_(kIconSize * kIconSize, kWhite) {}
  std::uint32_t& at(int x, int y) { return pixels_[static_cast<std::size_t>(y * kIconSize + x)]; }
  bool within(int x, int y) const { return x >= 0 && y >= 0 && x < kIconSize && y < kIconSize; }

  void shape(IconShape shape, std::uint32_t colour) {
    std::vector<bool>& filled = filled_;
    filled.assign(pixels_.size(), false);
    const double half = kIconSize / 2.0;
    for (int y = 0; y < kIconSize; ++y) {
      for (int x = 0; x < kIconSize; ++x) {
        filled[static_cast<std::size_t>(y * kIconSize + x)] = inside(shape, (x + 0.5 - half) / half, (y + 0.5 - half) / half);
      }
    }
    auto isFilled = [&](int x, int y) { return within(x, y) && filled[static_cast<std::size_t>(y * kIconSize + x)]; };
    for (int y = 0; y < kIconSize; ++y) {
      for (int x = 0; x < kIconSize; ++x) {
        if (!isFilled(x, y)) continue;
        const bool edge = !isFilled(x - 1, y) || !isFilled(x + 1, y) || !isFilled(x, y - 1) || !isFilled(x, y + 1);
        at(x, y) = edge ? kOutline : colour;
      }
    }
  }

  // Digits two pixels a dot, centred.
  void number(unsigned value) {
    const std::string digits = std::to_string(value);
    constexpr int kScale = 2;
    const int count = static_cast<int>(digits.size());
    const int width = count * 3 * kScale + (count - 1);
    const int left = (kIconSize - width) / 2, top = (kIconSize - 5 * kScale) / 2;
    std::vector<std::pair<int, int>> dots;
    for (int d = 0; d < count; ++d) {
      const auto& glyph = kDigits[static_cast<std::size_t>(digits[static_cast<std::size_t>(d)] - '0')];
      for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 3; ++col) {
          if (!(glyph[static_cast<std::size_t>(row)] & (4 >> col))) continue;
          for (int sy = 0; sy < kScale; ++sy) {
            for (int sx = 0; sx < kScale; ++sx) {
              dots.emplace_back(left + d * (3 * kScale + 1) + col * kScale + sx, top + row * kScale + sy);
            }
          }
        }
      }
    }
    // White on the shape, black where a digit stands out over the white ground.
    for (const auto& [x, y] : dots) {
      if (within(x, y)) at(x, y) = filled_[static_cast<std::size_t>(y * kIconSize + x)] ? kWhite : kBlack;
    }
  }

  // Rows bottom up, each padded to four bytes, pixels as blue, green, red.
  std::string bmp() const {
    constexpr std::uint32_t kRowBytes = (kIconSize * 3 + 3) / 4 * 4;
    constexpr std::uint32_t kPixelBytes = kRowBytes * kIconSize;
    constexpr std::uint32_t kHeaderBytes = 14 + 40;
    std::string out;
    auto put16 = [&](std::uint32_t v) { for (int i = 0; i < 2; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF); };
    auto put32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF); };
    out += "BM";
    put32(kHeaderBytes + kPixelBytes);
    put32(0);
    put32(kHeaderBytes);
    put32(40);  // BITMAPINFOHEADER
    put32(kIconSize);
    put32(kIconSize);
    put16(1);   // planes
    put16(24);  // bits a pixel
    put32(0);   // no compression
    put32(kPixelBytes);
    put32(2835);  // 72 dots an inch, in dots a metre
    put32(2835);
    put32(0);
    put32(0);
    for (int y = kIconSize - 1; y >= 0; --y) {
      for (int x = 0; x < kIconSize; ++x) {
        const std::uint32_t rgb = pixels_[static_cast<std::size_t>(y * kIconSize + x)];
        out += static_cast<char>(rgb & 0xFF);
        out += static_cast<char>((rgb >> 8) & 0xFF);
        out += static_cast<char>((rgb >> 16) & 0xFF);
      }
      out.append(kRowBytes - kIconSize * 3, '\0');
    }
    return out;
  }

 private:
  std::vector<std::uint32_t> pixels_;
  std::vector<bool> filled_;  // inside the shape
};

}  // namespace

std::uint32_t rgbOfHex(const char* colour) noexcept {
  if (!colour || colour[0] != '#') return 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(colour + 1, &end, 16);
  return end == colour + 7 ? static_cast<std::uint32_t>(value) : 0;
}

std::string bmpIcon(const IconLook& look, std::uint8_t speed) {
  Picture picture;
  picture.shape(look.shape, look.rgb);
  if (speed != 0) picture.number(speed);
  return picture.bmp();
}

}  // namespace tabrino
