#include "installer/ui/slide_source.h"

#include <utility>

namespace lite_installer {

SlideSource::SlideSource(std::vector<ResourceBitmap> initial_pictures,
                         const std::wstring& base_url)
    : pictures_(std::move(initial_pictures)),
      retirable_count_(static_cast<int>(pictures_.size()) - 1),
      base_url_(base_url) {}

SlideSource::~SlideSource() = default;

ResourceBitmap SlideSource::PictureAt(int index) {
  // Downloaded slides come with the slide work; until then the show cycles
  // the initial pictures.
  if (pictures_.empty()) return ResourceBitmap();
  if (index != 0 && retirable_count_ > 0 && pictures_.size() > 1) {
    pictures_.erase(pictures_.begin());
    --retirable_count_;
  }
  return pictures_[static_cast<size_t>(index) % pictures_.size()];
}

}  // namespace lite_installer
