#include "installer/ui/resource_bitmap.h"

#include <objbase.h>

#include <cmath>
#include <cstring>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/gdiplus_flat.h"
#include "installer/ui/scale.h"

namespace lite_installer {
namespace {

struct GraphicsDeleter {
  void operator()(void* graphics) const { GdipDeleteGraphics(graphics); }
};

}  // namespace

ResourceBitmap ResourceBitmap::LoadPair(int id_1x, int id_2x) {
  return LoadPairFrom(::GetModuleHandleW(nullptr), id_1x, id_2x,
                      GetScaleFactor());
}

ResourceBitmap ResourceBitmap::LoadPairFrom(HMODULE module, int id_1x,
                                            int id_2x, double scale_factor) {
  if (scale_factor != 1.0 && id_2x != 0)
    return Load(module, id_2x, scale_factor / 2);
  return Load(module, id_1x, scale_factor);
}

ResourceBitmap ResourceBitmap::Load(HMODULE module, int id,
                                    double unit_scale) {
  ResourceBitmap bitmap;
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  DWORD size = resource ? ::SizeofResource(module, resource) : 0;
  if (!bytes || size == 0) {
    LOG(ERROR) << "Picture resource " << id << " not found";
    return bitmap;
  }
  int status = 0;
  ResourceBitmap decoded = Decode(bytes, size, unit_scale, &status);
  if (decoded.IsEmpty()) {
    ELOG(ERROR, ERROR_INVALID_DATA)
        << "Failed to load a bitmap (picture " << id << ", GDI+ status "
        << status << ")";
  }
  return decoded;
}

ResourceBitmap ResourceBitmap::FromMemory(const void* bytes, size_t size,
                                          double unit_scale, int* status) {
  return Decode(bytes, size, unit_scale, status);
}

ResourceBitmap ResourceBitmap::Decode(const void* bytes, size_t size,
                                      double unit_scale, int* status) {
  ResourceBitmap bitmap;
  if (status) *status = gdiplus::kInvalidParameter;
  if (!bytes || size == 0) return bitmap;
  // The stream owns a movable copy and frees it on its last release; GDI+
  // keeps the stream for as long as it may decode from it.
  lite_util::ScopedGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, size));
  void* target = memory.IsValid() ? ::GlobalLock(memory.Get()) : nullptr;
  if (!target) {
    PLOG(ERROR) << "Failed to load a bitmap";
    return bitmap;
  }
  std::memcpy(target, bytes, size);
  ::GlobalUnlock(memory.Get());
  lite_util::ScopedComPtr<IStream> stream;
  HRESULT hr = ::CreateStreamOnHGlobal(memory.Get(), TRUE, stream.Receive());
  if (FAILED(hr)) {
    ELOG(ERROR, hr) << "Failed to load a bitmap";
    return bitmap;
  }
  memory.Take();
  void* image = nullptr;
  int result = GdipLoadImageFromStreamICM(stream.Get(), &image);
  if (status) *status = result;
  if (result != gdiplus::kOk || !image) return bitmap;
  bitmap.SetImage(image, unit_scale);
  return bitmap;
}

ResourceBitmap ResourceBitmap::FromHBITMAP(HBITMAP source) {
  ResourceBitmap bitmap;
  lite_util::ScopedBitmap copy(static_cast<HBITMAP>(
      ::CopyImage(source, IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE)));
  if (!copy.IsValid()) {
    PLOG_AS(ERROR, "ResourceBitmap")
        << "Failed to construct a ResourceBitmap from HBITMAP";
    return bitmap;
  }
  void* image = nullptr;
  if (GdipCreateBitmapFromHBITMAP(copy.Get(), nullptr, &image) !=
          gdiplus::kOk ||
      !image) {
    ELOG(ERROR, ERROR_INVALID_DATA)
        << "Failed to construct a ResourceBitmap from HBITMAP";
    return bitmap;
  }
  bitmap.SetImage(image, 1.0);
  return bitmap;
}

void ResourceBitmap::SetImage(void* image, double unit_scale) {
  image_.reset(image, [](void* p) { GdipDisposeImage(p); });
  unit_scale_ = unit_scale;
  GdipGetImageWidth(image, &pixel_width_);
  GdipGetImageHeight(image, &pixel_height_);
}

int ResourceBitmap::Width() const {
  return image_ ? static_cast<int>(pixel_width_ * unit_scale_) : 0;
}

int ResourceBitmap::Height() const {
  return image_ ? static_cast<int>(pixel_height_ * unit_scale_) : 0;
}

int ResourceBitmap::WidthRoundedUp() const {
  return image_ ? static_cast<int>(std::ceil(pixel_width_ * unit_scale_)) : 0;
}

int ResourceBitmap::HeightRoundedUp() const {
  return image_ ? static_cast<int>(std::ceil(pixel_height_ * unit_scale_))
                : 0;
}

void ResourceBitmap::Draw(HDC dc, int x, int y, int width, int height,
                          int source_x, int source_y, int source_width,
                          int source_height) const {
  if (!image_ || width <= 0 || height <= 0) return;
  void* graphics = nullptr;
  if (GdipCreateFromHDC(dc, &graphics) != gdiplus::kOk || !graphics) return;
  std::unique_ptr<void, GraphicsDeleter> owner(graphics);
  // Pixel centres on whole pixels; a 1:1 copy must not blur its edges.
  GdipSetPixelOffsetMode(graphics, gdiplus::kPixelOffsetHalf);
  bool one_to_one = unit_scale_ == 1.0 && width == source_width &&
                    height == source_height;
  GdipSetInterpolationMode(graphics,
                           one_to_one
                               ? gdiplus::kInterpolationNearestNeighbor
                               : gdiplus::kInterpolationHighQualityBilinear);
  GdipDrawImageRectRect(graphics, image_.get(), static_cast<float>(x),
                        static_cast<float>(y), static_cast<float>(width),
                        static_cast<float>(height),
                        static_cast<float>(source_x / unit_scale_),
                        static_cast<float>(source_y / unit_scale_),
                        static_cast<float>(source_width / unit_scale_),
                        static_cast<float>(source_height / unit_scale_),
                        gdiplus::kUnitPixel, nullptr, nullptr, nullptr);
}

}  // namespace lite_installer

namespace lite_installer {

void ResourceBitmap::DrawInto(void* graphics, const RECT& rect) const {
  if (!image_ || rect.right <= rect.left || rect.bottom <= rect.top) return;
  GdipDrawImageRectRect(
      graphics, image_.get(), static_cast<float>(rect.left),
      static_cast<float>(rect.top), static_cast<float>(rect.right - rect.left),
      static_cast<float>(rect.bottom - rect.top), 0, 0,
      static_cast<float>(pixel_width_), static_cast<float>(pixel_height_),
      gdiplus::kUnitPixel, nullptr, nullptr, nullptr);
}

}  // namespace lite_installer

namespace lite_installer {

void ResourceBitmap::DrawPartInto(void* graphics, const RECT& rect,
                                  int source_x, int source_y) const {
  if (!image_ || rect.right <= rect.left || rect.bottom <= rect.top) return;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  GdipDrawImageRectRect(
      graphics, image_.get(), static_cast<float>(rect.left),
      static_cast<float>(rect.top), static_cast<float>(width),
      static_cast<float>(height),
      static_cast<float>(source_x / unit_scale_),
      static_cast<float>(source_y / unit_scale_),
      static_cast<float>(width / unit_scale_),
      static_cast<float>(height / unit_scale_), gdiplus::kUnitPixel, nullptr,
      nullptr, nullptr);
}

}  // namespace lite_installer
