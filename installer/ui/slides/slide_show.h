// The progress screen's slide show: full-window pictures that change every
// period, drawn at their natural device size on the bottom-left corner over
// the background brush.
#ifndef INSTALLER_UI_SLIDES_SLIDE_SHOW_H_
#define INSTALLER_UI_SLIDES_SLIDE_SHOW_H_

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "installer/ui/resource_bitmap.h"
#include "installer/ui/slides/slide_source.h"

namespace lite_installer {

// A monotonic clock in microseconds.
using MicrosecondClock = std::function<int64_t()>;
// QueryPerformanceCounter in microseconds.
int64_t MonotonicMicroseconds();

class SlideShow {
 public:
  // |brush| stays the caller's. The first slide (index 0) starts now.
  SlideShow(SIZE window_size, std::unique_ptr<SlideSource> source,
            HBRUSH brush, float period_ms, int restart_index);
  // The same with another clock (tests, probes).
  SlideShow(SIZE window_size, std::unique_ptr<SlideSource> source,
            HBRUSH brush, float period_ms, int restart_index,
            MicrosecondClock clock);
  SlideShow(const SlideShow&) = delete;
  SlideShow& operator=(const SlideShow&) = delete;
  ~SlideShow();

  // Called by the window's timer: moves to the next slide when the current
  // one has expired. True when the window needs repainting (once per
  // slide).
  bool Tick();
  // True once the first change has happened.
  bool HasAdvanced() const { return index_ != 0; }
  // Fills |rect| with the brush, then draws the current slide.
  void Draw(HDC dc, const RECT& rect) const;

  int index() const { return index_; }
  // The current slide's picture and its rectangle in the window.
  const ResourceBitmap& picture() const { return picture_; }
  const RECT& slide_rect() const { return rect_; }
  SlideSource* source() const { return source_.get(); }

 private:
  void MakeSlide();

  SIZE window_size_;
  std::unique_ptr<SlideSource> source_;
  HBRUSH brush_;
  float period_ms_;
  int restart_index_;
  MicrosecondClock clock_;
  int index_ = 0;
  ResourceBitmap picture_;
  RECT rect_ = {0, 0, 0, 0};
  int64_t start_us_ = 0;
  bool needs_repaint_ = false;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_SLIDES_SLIDE_SHOW_H_
