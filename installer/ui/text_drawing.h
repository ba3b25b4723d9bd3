// Text drawn with a constant opacity over a picture, and text measures.
#ifndef INSTALLER_UI_TEXT_DRAWING_H_
#define INSTALLER_UI_TEXT_DRAWING_H_

#include <windows.h>

#include <memory>
#include <string>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

// Draws |text| word-wrapped (plus |format|) into |rect| of |dc| and blends
// it over what is there with constant source alpha |opacity| (0-255).
void DrawAlphaText(HDC dc, const RECT& rect, const std::wstring& text,
                   HFONT font, COLORREF color, BYTE opacity, UINT format);
// The height DrawTextW computes for one line of |font| on the screen.
int LineHeight(HFONT font);
// Width and height of |text| in the DC's font (DrawTextW, DT_CALCRECT).
SIZE TextExtent(HDC dc, const std::wstring& text);

// Calls |paint| with a memory DC of |rect|'s size and the rectangle
// (0, 0, width, height), then copies the result to |rect| of |dc|.
template <typename Paint>
void PaintDoubleBuffered(HDC dc, const RECT& rect, Paint paint);

// A memory DC with a bitmap compatible with |dc|, the size of |rect|.
class DoubleBuffer {
 public:
  DoubleBuffer(HDC dc, const RECT& rect);
  DoubleBuffer(const DoubleBuffer&) = delete;
  DoubleBuffer& operator=(const DoubleBuffer&) = delete;
  HDC dc() const { return memory_dc_.Get(); }
  bool IsValid() const { return select_ != nullptr; }
  void CopyToTarget();

 private:
  HDC target_;
  RECT rect_;
  // Declared so that the bitmap is selected out before either is deleted.
  lite_util::ScopedMemoryDC memory_dc_;
  lite_util::ScopedBitmap bitmap_;
  std::unique_ptr<lite_util::ScopedSelectObject> select_;
};

template <typename Paint>
void PaintDoubleBuffered(HDC dc, const RECT& rect, Paint paint) {
  DoubleBuffer buffer(dc, rect);
  if (!buffer.IsValid()) {
    paint(dc, rect);
    return;
  }
  RECT local = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
  paint(buffer.dc(), local);
  buffer.CopyToTarget();
}

}  // namespace lite_installer

#endif  // INSTALLER_UI_TEXT_DRAWING_H_
