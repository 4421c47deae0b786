#include "support/ui/png_image.h"

#include <wincodec.h>

#include <string>

#include "support/ui/dib.h"
#include "support/win32/com_ptr.h"
#include "support/win32/win_error.h"
#include "support/win32/win_text.h"

namespace orvo {

namespace {

// Decodes a picture of the given container format (PNG, JPEG); anything
// else is refused, whatever WIC could make of it.
Bitmap32 decodePicture(const void* data, size_t size, const GUID& containerFormat, const char* kind) {
    if (size > 0x7FFFFFFF) throw AppError(wideToGbk(L"图片过大"));
    ComPtr<IWICImagingFactory> factory;
    throwIfFailed(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                     reinterpret_cast<void**>(factory.put())),
                  "WIC");
    ComPtr<IWICStream> stream;
    throwIfFailed(factory->CreateStream(stream.put()), "WIC stream");
    throwIfFailed(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)), static_cast<DWORD>(size)),
                  "WIC stream");
    ComPtr<IWICBitmapDecoder> decoder;
    throwIfFailed(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put()),
                  std::string(kind) + " decoder");
    GUID format{};
    throwIfFailed(decoder->GetContainerFormat(&format), std::string(kind) + " decoder");
    if (!::IsEqualGUID(format, containerFormat)) throw AppError(wideToGbk(L"图片格式不符：") + kind);
    ComPtr<IWICBitmapFrameDecode> frame;
    throwIfFailed(decoder->GetFrame(0, frame.put()), std::string(kind) + " frame");
    ComPtr<IWICFormatConverter> converter;
    throwIfFailed(factory->CreateFormatConverter(converter.put()), "WIC converter");
    throwIfFailed(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom),
                  "WIC converter");
    UINT width = 0, height = 0;
    throwIfFailed(converter->GetSize(&width, &height), std::string(kind) + " size");
    if (width == 0 || height == 0 || width > 4096 || height > 4096) throw AppError(wideToGbk(L"不支持的图片尺寸"));

    void* bits = nullptr;
    Bitmap32 result;
    result.bitmap = createTopDownDib(nullptr, static_cast<int>(width), static_cast<int>(height), &bits);
    throwLastErrorIf(!result.bitmap, "CreateDIBSection");
    const UINT stride = width * 4;
    throwIfFailed(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)), std::string(kind) + " pixels");
    result.width = static_cast<int>(width);
    result.height = static_cast<int>(height);
    return result;
}

}  // namespace

Bitmap32 decodePng(const void* data, size_t size) { return decodePicture(data, size, GUID_ContainerFormatPng, "PNG"); }

Bitmap32 decodeJpeg(const void* data, size_t size) {
    return decodePicture(data, size, GUID_ContainerFormatJpeg, "JPEG");
}

Bitmap32 loadPngResource(int resourceId) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    throwLastErrorIf(found == nullptr, "FindResource");
    HGLOBAL loaded = ::LoadResource(module, found);
    throwLastErrorIf(loaded == nullptr, "LoadResource");
    const void* data = ::LockResource(loaded);
    const DWORD size = ::SizeofResource(module, found);
    if (!data || size == 0) throw AppError(wideToGbk(L"图片资源为空"));
    return decodePng(data, size);
}

const Bitmap32& PngResource::bitmap() {
    if (!decoded_) {
        decoded_ = true;
        bitmap_ = loadPngResource(id_);
    }
    return bitmap_;
}

void drawBitmap(HDC dc, const Bitmap32& picture, const RECT& target, COLORREF background) {
    const int width = target.right - target.left, height = target.bottom - target.top;
    if (!picture.bitmap || width <= 0 || height <= 0) return;
    // Blending between two DIBs is exact everywhere; blending straight onto a
    // window's DC is not (Wine's X11 surfaces drop the alpha).
    void* bits = nullptr;
    UniqueBitmap canvas = createTopDownDib(dc, width, height, &bits);
    UniqueMemoryDc canvasDc(::CreateCompatibleDC(dc));
    UniqueMemoryDc pictureDc(::CreateCompatibleDC(dc));
    if (!canvas || !canvasDc || !pictureDc) return;
    SelectObjectScope selectCanvas(canvasDc.get(), canvas.get());
    SelectObjectScope selectPicture(pictureDc.get(), picture.bitmap.get());
    UniqueBrush brush(::CreateSolidBrush(background));
    RECT all{0, 0, width, height};
    ::FillRect(canvasDc.get(), &all, brush.get());
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(canvasDc.get(), 0, 0, width, height, pictureDc.get(), 0, 0, picture.width, picture.height, blend);
    ::BitBlt(dc, target.left, target.top, width, height, canvasDc.get(), 0, 0, SRCCOPY);
}

}  // namespace orvo
