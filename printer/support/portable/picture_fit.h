#pragma once
// Where a picture goes inside a box without being stretched out of shape:
// as large as the box allows, centred, keeping the picture's proportions.

namespace orvo {

struct PlacedBox {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const PlacedBox&) const = default;
};

// The largest box of the picture's aspect ratio that fits in area, centred
// in it. An empty picture or area gives an empty box at the area's centre.
constexpr PlacedBox fitPicture(int pictureWidth, int pictureHeight, PlacedBox area) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || area.width <= 0 || area.height <= 0)
        return {area.left + area.width / 2, area.top + area.height / 2, 0, 0};
    // Compare the two ratios crosswise, in 64 bits, so no rounding decides.
    const long long wide = static_cast<long long>(pictureWidth) * area.height;
    const long long tall = static_cast<long long>(pictureHeight) * area.width;
    int width = area.width, height = area.height;
    if (wide > tall)
        height = static_cast<int>((static_cast<long long>(area.width) * pictureHeight + pictureWidth / 2) / pictureWidth);
    else if (wide < tall)
        width = static_cast<int>((static_cast<long long>(area.height) * pictureWidth + pictureHeight / 2) / pictureHeight);
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    return {area.left + (area.width - width) / 2, area.top + (area.height - height) / 2, width, height};
}

}  // namespace orvo
