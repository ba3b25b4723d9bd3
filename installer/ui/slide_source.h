// The pictures of the progress screen's slide show: the initial pictures
// from the installer's resources, followed by slides downloaded in the
// background.
#ifndef INSTALLER_UI_SLIDE_SOURCE_H_
#define INSTALLER_UI_SLIDE_SOURCE_H_

#include <string>
#include <vector>

#include "installer/ui/resource_bitmap.h"

namespace lite_installer {

class SlideSource {
 public:
  // |base_url| is the slide folder (ending with "/"); empty downloads
  // nothing.
  SlideSource(std::vector<ResourceBitmap> initial_pictures,
              const std::wstring& base_url);
  SlideSource(const SlideSource&) = delete;
  SlideSource& operator=(const SlideSource&) = delete;
  virtual ~SlideSource();

  // The picture for slide |index|; any index but 0 first retires one
  // initial picture while more than one is left. Empty list: empty picture.
  ResourceBitmap PictureAt(int index);

 private:
  std::vector<ResourceBitmap> pictures_;
  int retirable_count_;
  std::wstring base_url_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_SLIDE_SOURCE_H_
