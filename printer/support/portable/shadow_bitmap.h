#pragma once
// The drop shadow's picture, pure arithmetic so it can be checked without a
// screen: the main window's shape is drawn white on black, softened three
// times, and the grey level becomes a premultiplied alpha of the shadow colour.
#include <cstdint>
#include <span>
#include <vector>

namespace orvo {

// The shadow window is the main window grown by this much in both directions,
// placed this far left of and above the main window; the shape is drawn this
// far in from the picture's top-left corner.
inline constexpr int kShadowGrow = 32;
inline constexpr int kShadowLeft = -16;
inline constexpr int kShadowTop = -14;
inline constexpr int kShadowShapeOffset = 16;

// The same four distances for one screen: the design values above at 96 DPI,
// scaled by the window that shows the shadow.
struct ShadowGeometry {
    int grow = kShadowGrow;
    int left = kShadowLeft;
    int top = kShadowTop;
    int shapeOffset = kShadowShapeOffset;
};

// A rectangle of the main window's shape, in its own window coordinates
// (right and bottom exclusive).
struct ShadowRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// One grey byte per pixel, rows top to bottom.
class GreyPicture {
public:
    GreyPicture(int width, int height);
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    std::uint8_t at(int x, int y) const { return pixels_[index(x, y)]; }
    std::uint8_t& at(int x, int y) { return pixels_[index(x, y)]; }

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }
    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};

// Fills the rectangles white (255), moved by (dx, dy) and clipped to the picture.
void fillShape(GreyPicture& picture, std::span<const ShadowRect> shape, int dx, int dy);

// One softening pass, in place, row by row from the top, left to right: each
// pixel becomes the sum of the four pixels k rows and k columns away
// diagonally (coordinates clamped to the picture), shifted right by 2.
void softenPass(GreyPicture& picture, int k);

// 32-bit pixels as a DIB holds them (B in the low byte, then G, R, A): alpha
// is the grey level, each colour channel is channel * alpha / 255.
std::vector<std::uint32_t> premultiply(const GreyPicture& picture, std::uint8_t red, std::uint8_t green,
                                       std::uint8_t blue);

// The whole picture for a main window of the given size. An empty shape
// stands for the window's rectangle.
std::vector<std::uint32_t> buildShadowPicture(int mainWidth, int mainHeight, std::span<const ShadowRect> shape,
                                              std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                              const ShadowGeometry& geometry = {});

}  // namespace orvo
