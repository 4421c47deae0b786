#include "support/portable/shadow_bitmap.h"

#include <algorithm>

namespace orvo {

GreyPicture::GreyPicture(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0) {}

void fillShape(GreyPicture& picture, std::span<const ShadowRect> shape, int dx, int dy) {
    for (const ShadowRect& r : shape) {
        const int left = std::clamp(r.left + dx, 0, picture.width());
        const int right = std::clamp(r.right + dx, 0, picture.width());
        const int top = std::clamp(r.top + dy, 0, picture.height());
        const int bottom = std::clamp(r.bottom + dy, 0, picture.height());
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) picture.at(x, y) = 255;
    }
}

void softenPass(GreyPicture& picture, int k) {
    const int w = picture.width();
    const int h = picture.height();
    if (w == 0 || h == 0) return;
    for (int y = 0; y < h; ++y) {
        const int above = std::clamp(y - k, 0, h - 1);
        const int below = std::clamp(y + k, 0, h - 1);
        for (int x = 0; x < w; ++x) {
            const int left = std::clamp(x - k, 0, w - 1);
            const int right = std::clamp(x + k, 0, w - 1);
            const unsigned sum = picture.at(left, above) + picture.at(right, above) + picture.at(left, below) +
                                 picture.at(right, below);
            picture.at(x, y) = static_cast<std::uint8_t>(sum >> 2);
        }
    }
}

std::vector<std::uint32_t> premultiply(const GreyPicture& picture, std::uint8_t red, std::uint8_t green,
                                       std::uint8_t blue) {
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<std::size_t>(picture.width()) * picture.height());
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const std::uint32_t a = picture.at(x, y);
            const std::uint32_t r = red * a / 255, g = green * a / 255, b = blue * a / 255;
            out.push_back(a << 24 | r << 16 | g << 8 | b);
        }
    }
    return out;
}

std::vector<std::uint32_t> buildShadowPicture(int mainWidth, int mainHeight, std::span<const ShadowRect> shape,
                                              std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                              const ShadowGeometry& geometry) {
    mainWidth = std::max(mainWidth, 0);
    mainHeight = std::max(mainHeight, 0);
    GreyPicture picture(mainWidth + geometry.grow, mainHeight + geometry.grow);
    const ShadowRect whole{0, 0, mainWidth, mainHeight};
    if (shape.empty()) shape = std::span<const ShadowRect>(&whole, 1);
    fillShape(picture, shape, geometry.shapeOffset, geometry.shapeOffset);
    for (int k = 1; k <= 3; ++k) softenPass(picture, k);
    return premultiply(picture, red, green, blue);
}

}  // namespace orvo
