// The progress screen's slide show: full-window pictures that change every
// period, drawn at their natural device size on the bottom-left corner over
// the background brush.
#ifndef INSTALLER_UI_SLIDE_SHOW_H_
#define INSTALLER_UI_SLIDE_SHOW_H_

#include <windows.h>

#include <cstdint>
#include <memory>

#include "installer/ui/resource_bitmap.h"
#include "installer/ui/slide_source.h"

namespace lite_installer {

class SlideShow {
 public:
  // |brush| stays the caller's. The first slide (index 0) starts now.
  SlideShow(SIZE window_size, std::unique_ptr<SlideSource> source,
            HBRUSH brush, float period_ms, int restart_index);
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

 private:
  void MakeSlide();
  static int64_t NowMicroseconds();

  SIZE window_size_;
  std::unique_ptr<SlideSource> source_;
  HBRUSH brush_;
  float period_ms_;
  int restart_index_;
  int index_ = 0;
  ResourceBitmap picture_;
  RECT rect_ = {0, 0, 0, 0};
  int64_t start_us_ = 0;
  bool needs_repaint_ = false;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_SLIDE_SHOW_H_
