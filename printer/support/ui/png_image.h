#pragma once
// PNG pictures stored as RCDATA resources, and JPEG pictures, decoded with the platform's codecs
// (WIC) into 32-bit premultiplied DIB sections ready for AlphaBlend.
#include <windows.h>

#include "support/win32/unique.h"

namespace orvo {

struct Bitmap32 {
    UniqueBitmap bitmap;
    int width = 0;
    int height = 0;
};

// Decodes PNG bytes; throws ComError when they are not a picture WIC can
// read, AppError when they are a picture of another kind.
Bitmap32 decodePng(const void* data, size_t size);
// The same for JPEG bytes.
Bitmap32 decodeJpeg(const void* data, size_t size);
// Decodes the RCDATA resource of this executable with the given id.
Bitmap32 loadPngResource(int resourceId);

// A picture resource decoded when it is first drawn rather than when its
// control is made: WIC, and the codecs behind it, start only once a picture
// is on the screen, not before the first window shows. A resource that
// cannot be decoded throws at its first drawing only, and draws nothing after.
class PngResource {
public:
    PngResource() = default;
    explicit PngResource(int resourceId) : id_(resourceId) {}
    const Bitmap32& bitmap();

private:
    int id_ = 0;
    bool decoded_ = false;
    Bitmap32 bitmap_;
};

// Draws the picture stretched into the rectangle, blended over a plain
// background colour (composed off screen, then copied in one piece).
void drawBitmap(HDC dc, const Bitmap32& picture, const RECT& target, COLORREF background);

}  // namespace orvo
