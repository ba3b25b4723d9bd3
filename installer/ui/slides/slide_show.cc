#include "installer/ui/slides/slide_show.h"

#include <algorithm>
#include <utility>

namespace lite_installer {

SlideShow::SlideShow(SIZE window_size, std::unique_ptr<SlideSource> source,
                     HBRUSH brush, float period_ms, int restart_index)
    : SlideShow(window_size, std::move(source), brush, period_ms,
                restart_index, &MonotonicMicroseconds) {}

SlideShow::SlideShow(SIZE window_size, std::unique_ptr<SlideSource> source,
                     HBRUSH brush, float period_ms, int restart_index,
                     MicrosecondClock clock)
    : window_size_(window_size),
      source_(std::move(source)),
      brush_(brush),
      period_ms_(period_ms),
      restart_index_(restart_index),
      clock_(std::move(clock)) {
  MakeSlide();
}

SlideShow::~SlideShow() = default;

int64_t MonotonicMicroseconds() {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return now.QuadPart / frequency.QuadPart * 1000000 +
         now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

void SlideShow::MakeSlide() {
  picture_ = source_ ? source_->PictureAt(index_) : ResourceBitmap();
  int width = picture_.Width();
  int height = picture_.Height();
  rect_ = {0, window_size_.cy - height, std::min<LONG>(width, window_size_.cx),
           window_size_.cy};
  start_us_ = clock_();
  needs_repaint_ = true;
}

bool SlideShow::Tick() {
  if (clock_() >= start_us_ + static_cast<int64_t>(period_ms_) * 1000) {
    index_ = index_ == 0 ? restart_index_ : index_ + 1;
    MakeSlide();
  }
  bool repaint = needs_repaint_;
  needs_repaint_ = false;
  return repaint;
}

void SlideShow::Draw(HDC dc, const RECT& rect) const {
  if (brush_) ::FillRect(dc, &rect, brush_);
  if (picture_.IsEmpty()) return;
  int width = rect_.right - rect_.left;
  int height = rect_.bottom - rect_.top;
  picture_.Draw(dc, rect_.left, rect_.top, width, height, 0, 0, width,
                height);
}

}  // namespace lite_installer
