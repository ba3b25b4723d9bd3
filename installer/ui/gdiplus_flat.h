// The few functions of GDI+'s flat interface (gdiplus.dll) the pictures
// use, declared here so that the C++ wrapper headers are not needed.
#ifndef INSTALLER_UI_GDIPLUS_FLAT_H_
#define INSTALLER_UI_GDIPLUS_FLAT_H_

#include <windows.h>
#include <objidl.h>

namespace lite_installer {
namespace gdiplus {

using GpImage = void;
using GpGraphics = void;

constexpr int kOk = 0;
constexpr int kInvalidParameter = 2;
constexpr int kUnitPixel = 2;
constexpr int kInterpolationHighQualityBilinear = 6;
constexpr int kInterpolationNearestNeighbor = 5;
constexpr int kPixelOffsetHalf = 4;
constexpr int kPixelFormat32bppPARGB = 0x000E200B;

}  // namespace gdiplus
}  // namespace lite_installer

extern "C" {
int WINAPI GdipLoadImageFromStreamICM(IStream* stream, void** image);
int WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette,
                                       void** image);
int WINAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride,
                                     INT format, BYTE* scan0, void** image);
int WINAPI GdipGetImageWidth(void* image, UINT* width);
int WINAPI GdipGetImageHeight(void* image, UINT* height);
int WINAPI GdipDisposeImage(void* image);
int WINAPI GdipCreateFromHDC(HDC dc, void** graphics);
int WINAPI GdipGetImageGraphicsContext(void* image, void** graphics);
int WINAPI GdipDeleteGraphics(void* graphics);
int WINAPI GdipSetInterpolationMode(void* graphics, int mode);
int WINAPI GdipSetPixelOffsetMode(void* graphics, int mode);
int WINAPI GdipDrawImageRectRect(void* graphics, void* image, float dst_x,
                                 float dst_y, float dst_width,
                                 float dst_height, float src_x, float src_y,
                                 float src_width, float src_height,
                                 int src_unit, const void* attributes,
                                 void* abort_callback, void* callback_data);
}

#endif  // INSTALLER_UI_GDIPLUS_FLAT_H_
