// A picture of the installer's resources (PNG or JPEG in RCDATA), decoded
// once with GDI+ and shared by every copy, drawn in device pixels.
#ifndef INSTALLER_UI_RESOURCE_BITMAP_H_
#define INSTALLER_UI_RESOURCE_BITMAP_H_

#include <windows.h>

#include <memory>

namespace lite_installer {

class ResourceBitmap {
 public:
  ResourceBitmap() = default;

  // The 2x resource (device pixels per image pixel = factor / 2) when the
  // display scale factor is not 1 and |id_2x| is not 0, else the 1x
  // resource (factor / 1). Empty when the resource is missing or cannot be
  // decoded.
  static ResourceBitmap LoadPair(int id_1x, int id_2x);
  // The same from |module| at a given scale factor.
  static ResourceBitmap LoadPairFrom(HMODULE module, int id_1x, int id_2x,
                                     double scale_factor);
  // A GDI+ copy of |bitmap| at unit scale 1 (|bitmap| stays the caller's
  // and must not be selected into a DC).
  static ResourceBitmap FromHBITMAP(HBITMAP bitmap);

  // A picture decoded from |size| bytes (a downloaded slide) at
  // |unit_scale|; empty when the bytes are no picture GDI+ can decode.
  // |status| (may be null) receives the GDI+ status, 0 on success.
  static ResourceBitmap FromMemory(const void* bytes, size_t size,
                                   double unit_scale, int* status);

  bool IsEmpty() const { return !image_; }
  // Device size, truncated.
  int Width() const;
  int Height() const;
  // Device size, rounded up (the window region uses these).
  int WidthRoundedUp() const;
  int HeightRoundedUp() const;
  double unit_scale() const { return unit_scale_; }

  // Draws the source rectangle (device pixels) into the destination.
  void Draw(HDC dc, int x, int y, int width, int height, int source_x,
            int source_y, int source_width, int source_height) const;
  // Draws the whole picture stretched to |rect| through a GDI+ graphics
  // object (one that draws into a bitmap with alpha).
  void DrawInto(void* graphics, const RECT& rect) const;
  // Draws the part of the picture at (|source_x|, |source_y|) (device
  // pixels) with the size of |rect| into |rect| of a GDI+ graphics object.
  void DrawPartInto(void* graphics, const RECT& rect, int source_x,
                    int source_y) const;
  // Image pixels, for checks of downloaded pictures.
  UINT pixel_width() const { return pixel_width_; }
  UINT pixel_height() const { return pixel_height_; }

 private:
  static ResourceBitmap Load(HMODULE module, int id, double unit_scale);
  // Decodes a copy of |size| bytes through a stream on movable memory.
  static ResourceBitmap Decode(const void* bytes, size_t size,
                               double unit_scale, int* status);
  void SetImage(void* image, double unit_scale);

  std::shared_ptr<void> image_;
  double unit_scale_ = 1.0;
  UINT pixel_width_ = 0;
  UINT pixel_height_ = 0;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_RESOURCE_BITMAP_H_
