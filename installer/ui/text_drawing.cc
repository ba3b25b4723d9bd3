#include "installer/ui/text_drawing.h"

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

void DrawAlphaText(HDC dc, const RECT& rect, const std::wstring& text,
                   HFONT font, COLORREF color, BYTE opacity, UINT format) {
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  lite_util::ScopedMemoryDC memory(::CreateCompatibleDC(dc));
  lite_util::ScopedBitmap bitmap(::CreateCompatibleBitmap(dc, width, height));
  if (!memory.IsValid() || !bitmap.IsValid()) return;
  lite_util::ScopedSelectObject select_bitmap(memory.Get(), bitmap.Get());
  // The text is composed over a copy of what lies under it, so that only
  // the glyphs change when the copy is blended back.
  ::BitBlt(memory.Get(), 0, 0, width, height, dc, rect.left, rect.top,
           SRCCOPY);
  {
    lite_util::ScopedSelectObject select_font(memory.Get(), font);
    ::SetBkMode(memory.Get(), TRANSPARENT);
    ::SetTextColor(memory.Get(), color);
    RECT local = {0, 0, width, height};
    ::DrawTextW(memory.Get(), text.c_str(), static_cast<int>(text.size()),
                &local, DT_WORDBREAK | format);
  }
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, opacity, 0};
  ::AlphaBlend(dc, rect.left, rect.top, width, height, memory.Get(), 0, 0,
               width, height, blend);
}

int LineHeight(HFONT font) {
  lite_util::ScopedGetDC screen(nullptr);
  if (!screen.Get()) return 0;
  lite_util::ScopedSelectObject select_font(screen.Get(), font);
  RECT rect = {0, 0, 0, 0};
  ::DrawTextW(screen.Get(), L"anything", -1, &rect, DT_CALCRECT);
  return rect.bottom - rect.top;
}

SIZE TextExtent(HDC dc, const std::wstring& text) {
  RECT rect = {0, 0, 0, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

DoubleBuffer::DoubleBuffer(HDC dc, const RECT& rect) : target_(dc), rect_(rect) {
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  memory_dc_.Set(::CreateCompatibleDC(dc));
  bitmap_.Set(::CreateCompatibleBitmap(dc, width, height));
  if (memory_dc_.IsValid() && bitmap_.IsValid())
    select_ = std::make_unique<lite_util::ScopedSelectObject>(
        memory_dc_.Get(), bitmap_.Get());
}

void DoubleBuffer::CopyToTarget() {
  ::BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left,
           rect_.bottom - rect_.top, memory_dc_.Get(), 0, 0, SRCCOPY);
}

}  // namespace lite_installer
